// The main window's shape, made from a picture: every pixel that is not black belongs to the window.
#pragma once
#include "platform/win32/types.h"

// With a picture file name: builds the region of its non-zero pixels, keeps it and shapes the main window with
// it; -1 (the kept shape unchanged) when the picture cannot be loaded or the region cannot be built. With null:
// forgets the kept shape. 0.
int SetWindowShapeFromBitmap(const char* name);
// A shape is at most this many rectangles (each band of rows with equal runs gives one per run): the host's
// display redraws and clips by them at every restyle, and its cost grows faster than their number.
constexpr int kMaxShapeRectangles = 8192;

// The region of the pixels that are not zero in all their bytes (1 to 4 bytes per pixel, rows rowBytes apart,
// top row first); null when the platform refuses a region, or (logged) past kMaxShapeRectangles.
HRGN BuildRegionFromPixels(int width, int height, const void* pixels, int rowBytes, int bytesPerPixel);
