#include "graphics/picture_loader.h"

#include "core/file_access.h"
#include "core/memory.h"
#include "graphics/decoders/decoders.h"
#include "graphics/dib_graph.h"
#include "graphics/pixel_converter.h"

const ImageDecoder ImageDecoderTable[] = {DecodeBmpPicture,  DecodeJpegPicture, DecodePngPicture, DecodeBgraPicture,
                                          DecodeTgaPicture, DecodeDdsPicture,  nullptr};

ImageLoaderRegistry& GetImageLoaderRegistry() {
  static ImageLoaderRegistry registry{};
  return registry;
}

namespace {

int SlotCount(int count) { return count < 0 ? 0 : (count > kImageLoaderSlots ? kImageLoaderSlots : count); }

// A decoder's answer counts only when the picture it describes is usable; anything else is freed and refused.
bool TryDecoder(ImageDecoder decoder, StreamSourceData* source, GraphImage* image) {
  source->functions.seek(source->handle, 0, 0);
  if (decoder(source, image) != 0) return false;
  if (IsGraphImageSane(image)) return true;
  DiscardGraphImage(image);
  return false;
}

// Where the user loaders read from, and what they hand back.
struct LoaderCall {
  FileHandle file;       // the open file, 0 for a memory image
  FileHandle source;     // the file, or the memory image's address
  int memorySize;
  int memoryFlag;
  int resultKind;
  GraphImage* image;
  BITMAPINFO** header;
  void** bits;

  void Rewind() const {
    if (file) FileAccessSeek(file, 0, 0);
  }
};

// Walks one list: null slots skipped, at most `count` loaders tried; the file is sought back to 0 before each.
template <typename Loader, typename Call>
bool WalkLoaders(const Loader (&list)[kImageLoaderSlots], int count, const LoaderCall& call, Call invoke) {
  int tried = 0;
  for (int i = 0; i < kImageLoaderSlots && tried < SlotCount(count); ++i) {
    if (!list[i]) continue;
    ++tried;
    call.Rewind();
    if (invoke(list[i]) == 0) return true;
  }
  return false;
}

// Runs the three loader lists; answers the result kind produced, or -1.
int RunUserLoaders(const LoaderCall& call) {
  const ImageLoaderRegistry& registry = GetImageLoaderRegistry();
  if (WalkLoaders(registry.generalLoaders, registry.generalLoaderCount, call, [&](GeneralImageLoader loader) {
        return loader(call.source, call.memorySize, call.memoryFlag, call.resultKind, call.image, call.header,
                      call.bits);
      })) {
    if (call.resultKind == IMAGE_RESULT_DIB) return IMAGE_RESULT_DIB;
    if (IsGraphImageSane(call.image)) return IMAGE_RESULT_GRAPH_IMAGE;
    DiscardGraphImage(call.image);
    return -1;
  }
  if (WalkLoaders(registry.dibLoaders, registry.dibLoaderCount, call, [&](DIBImageLoader loader) {
        return loader(call.source, call.memorySize, call.memoryFlag, call.header, call.bits);
      })) {
    return IMAGE_RESULT_DIB;
  }
  if (call.file && WalkLoaders(registry.fileDibLoaders, registry.fileDibLoaderCount, call,
                               [&](FileDIBImageLoader loader) { return loader(call.file, call.header, call.bits); })) {
    return IMAGE_RESULT_DIB;
  }
  return -1;
}

// Turns a DIB into the picture, freeing the DIB's header and whatever of its bits the picture does not keep.
int TakeDIBAsImage(BITMAPINFO* header, void* bits, GraphImage* image) {
  const int result = ConvertDIBToGraphImage(header, bits, image, 0);
  if (result != 0) MemFree(bits);
  MemFree(header);
  return result == -1 ? -1 : 0;
}

int MirrorIntoNewBlock(GraphImage* image) {
  void* block = MemAlloc(image->pitch * image->height);
  if (!block) return -1;
  const RECT whole{0, 0, image->width, image->height};
  ConvertColorFormatRect(block, image->pitch, &image->format, image->pixels, image->pitch, &image->format, nullptr, 0,
                         nullptr, 0, 0, &whole, 1, 0, 0, CONVERT_DITHER_NONE, 0);
  MemFree(image->pixels);
  image->pixels = block;
  return 0;
}

int LoadFromStream(StreamSourceData* stream, const LoaderCall& base, int mirrorFlag, GraphImage* image,
                   BITMAPINFO** headerOut, void** bitsOut) {
  GraphImage local{};
  BITMAPINFO* header = nullptr;
  void* bits = nullptr;
  const bool taken = RunImageDecoders(stream, &local) == 0;
  if (base.memoryFlag) stream->functions.close(stream->handle);
  int have = IMAGE_RESULT_GRAPH_IMAGE;
  if (!taken) {
    // The user loaders get the raw file only while the default file access is in place.
    if (base.file && !IsDefaultFileAccess()) return -1;
    LoaderCall call = base;
    call.image = &local;
    call.header = &header;
    call.bits = &bits;
    have = RunUserLoaders(call);
    if (have < 0) return -1;
  }
  if (mirrorFlag != 0) {
    if (have == IMAGE_RESULT_DIB) {
      if (TakeDIBAsImage(header, bits, &local) != 0) return -1;
      have = IMAGE_RESULT_GRAPH_IMAGE;
    }
    if (MirrorIntoNewBlock(&local) != 0) {
      DiscardGraphImage(&local);
      return -1;
    }
  }
  if (base.resultKind == IMAGE_RESULT_GRAPH_IMAGE && have == IMAGE_RESULT_DIB) {
    if (TakeDIBAsImage(header, bits, &local) != 0) return -1;
  } else if (base.resultKind == IMAGE_RESULT_DIB && have == IMAGE_RESULT_GRAPH_IMAGE) {
    header = static_cast<BITMAPINFO*>(MemAllocZeroed(sizeof(BITMAPINFO)));
    if (!header) {
      DiscardGraphImage(&local);
      return -1;
    }
    const int copied = CopyImageToDIB(&local, header, &bits, 0);
    if (copied == -1) {
      DiscardGraphImage(&local);
      MemFree(header);
      return -1;
    }
    // 0: the bits are the picture's own pixels and now belong to the caller.
    if (copied == 1) DiscardGraphImage(&local);
  }
  if (base.resultKind == IMAGE_RESULT_DIB) {
    *headerOut = header;
    *bitsOut = bits;
  } else {
    *image = local;
  }
  return 0;
}

}  // namespace

int RunImageDecoders(StreamSourceData* source, GraphImage* image) {
  const ImageLoaderRegistry& registry = GetImageLoaderRegistry();
  for (int i = 0; i < SlotCount(registry.userDecoderCount); ++i) {
    if (registry.userDecoders[i] && TryDecoder(registry.userDecoders[i], source, image)) return 0;
  }
  for (const ImageDecoder* decoder = ImageDecoderTable; *decoder; ++decoder) {
    if (TryDecoder(*decoder, source, image)) return 0;
  }
  return -1;
}

int LoadImageCore(const char* fileName, const void* memoryImage, int memorySize, int memoryFlag, int resultKind,
                  int mirrorFlag, GraphImage* image, BITMAPINFO** header, void** bits) {
  if (resultKind == IMAGE_RESULT_GRAPH_IMAGE ? !image : (resultKind != IMAGE_RESULT_DIB || !header || !bits)) {
    return -1;
  }
  LoaderCall call{};
  call.memorySize = memorySize;
  call.memoryFlag = memoryFlag;
  call.resultKind = resultKind;
  StreamSourceData stream{};
  if (memoryFlag == 0) {
    if (!fileName) return -1;
    call.file = FileAccessOpen(fileName, 0, 1);
    if (call.file == 0) return -1;
    call.source = call.file;
    stream.functions = *GetFileStreamFunctions();
    stream.handle = call.file;
  } else {
    if (!memoryImage || memorySize < 0) return -1;
    BufferStreamRecord* record = OpenBufferStream(memoryImage, memorySize);
    if (!record) return -1;
    call.source = reinterpret_cast<FileHandle>(memoryImage);
    stream.functions = *GetBufferStreamFunctions();
    stream.handle = reinterpret_cast<FileHandle>(record);
  }
  const int result = LoadFromStream(&stream, call, mirrorFlag, image, header, bits);
  if (call.file) FileAccessClose(call.file);
  return result;
}

int LoadPictureToGraphImage(const char* fileName, const void* memoryImage, int memorySize, int memoryFlag,
                            GraphImage* image, int mirrorFlag) {
  return LoadImageCore(fileName, memoryImage, memorySize, memoryFlag, IMAGE_RESULT_GRAPH_IMAGE, mirrorFlag, image,
                       nullptr, nullptr);
}

int LoadImageWithAlphaFile(const char* fileName, const void* memoryImage, int memorySize, int memoryFlag,
                           const void* alphaMemoryImage, int alphaMemorySize, int alphaMemoryFlag, GraphImage* image,
                           GraphImage* alphaImage, int mirrorFlag) {
  if (LoadPictureToGraphImage(fileName, memoryImage, memorySize, memoryFlag, image, mirrorFlag) == -1) return -1;
  int loaded;
  if (alphaMemoryFlag == 1 && alphaMemoryImage) {
    loaded = LoadPictureToGraphImage(nullptr, alphaMemoryImage, alphaMemorySize, 1, alphaImage, mirrorFlag);
  } else if (alphaMemoryFlag == 0 && fileName) {
    const std::string alphaName = MakeAlphaCompanionName(fileName);
    loaded = LoadPictureToGraphImage(alphaName.c_str(), nullptr, 0, 0, alphaImage, mirrorFlag);
  } else {
    return 1;
  }
  if (loaded == -1) return 1;
  // An alpha picture of another size than the picture's is no alpha picture: the picture loads without alpha.
  if (alphaImage->width != image->width || alphaImage->height != image->height) {
    DiscardGraphImage(alphaImage);
    return 1;
  }
  return 0;
}
