// PNG pictures through libpng, read from the stream source, with libpng's messages kept silent.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "core/memory.h"
#include "graphics/color_format.h"
#include "graphics/decoders/decoder_support.h"
#include "graphics/decoders/decoders.h"

using namespace decoders;

namespace {

// The most any chunk may make libpng allocate; the image data is read through its own small buffer.
constexpr png_alloc_size_t kMostPngChunkBytes = 64 << 10;

// Handed to libpng as its I/O pointer.
struct PngReaderState {
  StreamSourceData* source;
  int64_t dataEnd;
};

// What the decode holds; it lives outside the function that sets the jump, so an error jump loses none of it.
struct PngJob {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngReaderState reader{};
  unsigned char* pixels = nullptr;
  png_bytep* rows = nullptr;
  GraphImage result{};
};

void PngReadCallback(png_structp png, png_bytep destination, size_t length) {
  auto* state = static_cast<PngReaderState*>(png_get_io_ptr(png));
  int64_t left = state->dataEnd - StreamTell(state->source);
  if (left < 0 || static_cast<uint64_t>(left) < length || !ReadElement(state->source, destination, length)) {
    png_error(png, "Read Error");
  }
}

[[noreturn]] void PngSilentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngSilentWarning(png_structp, png_const_charp) {}

void ImagePngSetupRead(png_structp png, PngReaderState* state, StreamSourceData* source) {
  state->source = source;
  state->dataEnd = MeasureStreamEnd(source);
  png_set_read_fn(png, state, PngReadCallback);
}

// Reads the picture into job->pixels as 8-bit grey, B G R, or B G R A rows; false on any failure.
bool RunPng(PngJob* job) {
  png_structp png = job->png;
  png_infop info = job->info;
  if (setjmp(png_jmpbuf(png))) return false;
  ImagePngSetupRead(png, &job->reader, job->reader.source);
#ifdef VOMAK_FUZZING
  // Mutated inputs rarely keep their checksums; the fuzzer would never get past them.
  png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif
  png_set_sig_bytes(png, 0);
  // libpng refuses a larger header itself, before it inflates anything.
  png_set_user_limits(png, kPictureMaxSide, kPictureMaxSide);
  // No ancillary chunk carries anything this reader uses, so each is passed over unread, whatever length it
  // claims: libpng would take a text or profile chunk whole into memory first, and a few bytes of file could claim
  // hundreds of megabytes. What is still read whole (header, palette, transparency) is a few hundred bytes.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_set_chunk_malloc_max(png, kMostPngChunkBytes);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, type = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &type, &interlace, nullptr, nullptr);
  if (!IsPictureSizeAllowed(width, height)) return false;
  bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  png_set_strip_16(png);
  png_set_packing(png);
  png_set_packswap(png);
  if (type == PNG_COLOR_TYPE_PALETTE || (type == PNG_COLOR_TYPE_GRAY && depth <= 8) || transparency) {
    png_set_expand(png);
  }
  // Grey with alpha (or with a transparent grey) becomes B G R A, a layout every reader knows.
  if (type == PNG_COLOR_TYPE_GRAY_ALPHA || (type == PNG_COLOR_TYPE_GRAY && transparency)) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  int channels = png_get_channels(png, info);
  size_t rowBytes = png_get_rowbytes(png, info);
  int64_t bytes = BlockSize(static_cast<int64_t>(rowBytes), height);
  if (png_get_bit_depth(png, info) != 8 || (channels != 1 && channels != 3 && channels != 4) || bytes < 0 ||
      static_cast<size_t>(channels) * width != rowBytes || BlockSize(sizeof(png_bytep), height) < 0) {
    return false;
  }
  job->pixels = static_cast<unsigned char*>(AllocPixelBlock(bytes));
  job->rows = static_cast<png_bytep*>(MemAlloc(static_cast<int>(sizeof(png_bytep) * height)));
  if (job->pixels == nullptr || job->rows == nullptr) return false;
  for (png_uint_32 y = 0; y < height; ++y) job->rows[y] = job->pixels + rowBytes * y;
  png_read_image(png, job->rows);
  png_read_end(png, nullptr);

  if (channels == 1) {
    SetFormatGrey8(&job->result.format);
  } else if (channels == 4) {
    SetFormatB8G8R8A8(&job->result.format);
  } else {
    SetColorFormatR8G8B8(&job->result.format);
  }
  job->result.width = static_cast<int32_t>(width);
  job->result.height = static_cast<int32_t>(height);
  job->result.pitch = static_cast<int32_t>(rowBytes);
  return true;
}

}  // namespace

int DecodePngPicture(StreamSourceData* source, GraphImage* image) {
  PngJob job;
  job.reader.source = source;
  job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngSilentError, PngSilentWarning);
  if (job.png == nullptr) return -1;
  job.info = png_create_info_struct(job.png);
  bool ok = job.info != nullptr && RunPng(&job);
  png_destroy_read_struct(&job.png, job.info != nullptr ? &job.info : nullptr, nullptr);
  MemFree(job.rows);
  if (!ok) {
    MemFree(job.pixels);
    return -1;
  }
  job.result.pixels = job.pixels;
  *image = job.result;
  return 0;
}
