// Pictures as device-independent bitmaps: describing one as the other, and DIB sections made from pictures.
#pragma once
#include "graphics/graph_image.h"
#include "platform/win32/gdi.h"

// Describes the picture as a top-down 24-bit DIB. 0: the bits are the picture's own pixels; 1: a new copy; -1.
int CopyImageToDIB(const GraphImage* image, BITMAPINFO* header, void** bits, int forceCopy);
// Describes a DIB as a picture. 0: the picture's pixels are the DIB bits; 1: a new block; -1.
int ConvertDIBToGraphImage(const BITMAPINFO* header, const void* bits, GraphImage* image, int forceCopy);

HBITMAP CreateDIBGraph(const char* fileName, const void* memoryImage, int memorySize, int memoryFlag, int mirrorFlag,
                       ColorFormat* format);
HBITMAP CreateDIBGraphSimple(const char* fileName, int mirrorFlag, ColorFormat* format);
HBITMAP CreateDIBGraphFromImage(const BITMAPINFO* header, const void* bits, int mirrorFlag, ColorFormat* format);
