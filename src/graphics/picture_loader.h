// Loading pictures from files or memory: the decoder table, the user loader registries, alpha companions.
#pragma once
#include "graphics/graph_image.h"

struct BITMAPINFO;

// User loaders. fileOrMemory is the open file's handle, or the memory image's address when memoryFlag is set.
using GeneralImageLoader = int (*)(FileHandle fileOrMemory, int memorySize, int memoryFlag, int resultKind,
                                   GraphImage* image, BITMAPINFO** header, void** bits);
using DIBImageLoader = int (*)(FileHandle fileOrMemory, int memorySize, int memoryFlag, BITMAPINFO** header,
                               void** bits);
using FileDIBImageLoader = int (*)(FileHandle file, BITMAPINFO** header, void** bits);

constexpr int kImageLoaderSlots = 10;

// The four lists of user-supplied loaders; the library itself never fills them.
struct ImageLoaderRegistry {
  ImageDecoder userDecoders[kImageLoaderSlots];
  int userDecoderCount;
  GeneralImageLoader generalLoaders[kImageLoaderSlots];
  int generalLoaderCount;
  DIBImageLoader dibLoaders[kImageLoaderSlots];
  int dibLoaderCount;
  FileDIBImageLoader fileDibLoaders[kImageLoaderSlots];
  int fileDibLoaderCount;
};
ImageLoaderRegistry& GetImageLoaderRegistry();

// The built-in decoders in the order they are tried, ended by a null entry.
extern const ImageDecoder ImageDecoderTable[];

enum ImageResultKind { IMAGE_RESULT_GRAPH_IMAGE = 0, IMAGE_RESULT_DIB = 1 };

// 0 when a decoder took the picture, -1 when none did.
int RunImageDecoders(StreamSourceData* source, GraphImage* image);
// memoryFlag 0 reads the named file, else the memory image. resultKind 0 fills *image; 1 hands back a DIB header
// and pixel block (both MemAlloc'd; the caller frees them). mirrorFlag 1 mirrors the picture left to right.
int LoadImageCore(const char* fileName, const void* memoryImage, int memorySize, int memoryFlag, int resultKind,
                  int mirrorFlag, GraphImage* image, BITMAPINFO** header, void** bits);
int LoadPictureToGraphImage(const char* fileName, const void* memoryImage, int memorySize, int memoryFlag,
                            GraphImage* image, int mirrorFlag);
// -1 when the picture fails, 0 with its alpha picture, 1 without one.
int LoadImageWithAlphaFile(const char* fileName, const void* memoryImage, int memorySize, int memoryFlag,
                           const void* alphaMemoryImage, int alphaMemorySize, int alphaMemoryFlag, GraphImage* image,
                           GraphImage* alphaImage, int mirrorFlag);
