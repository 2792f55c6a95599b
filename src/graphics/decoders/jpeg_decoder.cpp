// JPEG pictures through libjpeg, read from the stream source, with libjpeg's messages kept silent.
#include <cstdio>  // libjpeg's header needs FILE and size_t first
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <cstring>

#include "core/memory.h"
#include "graphics/color_format.h"
#include "graphics/decoders/decoder_support.h"
#include "graphics/decoders/decoders.h"

using namespace decoders;

namespace {

constexpr int kSourceBufferSize = 4096;
// Far more scans than any encoder writes; a hostile progressive file with endless scans stops here.
constexpr int kMaxScans = 1000;
// Each scan walks every block of its components, so a few bytes repeating a scan cost a pass over the picture each.
// The blocks all scans walk together stop at 64 passes over a largest picture's full-size component, where encoders
// write at most about 14 (the ten scans of a full-size colour picture).
constexpr int64_t kMaxScanBlocks = int64_t{64} * (4096 / 8) * (4096 / 8);

struct JpegSourceManager {
  jpeg_source_mgr pub;
  JOCTET* buffer;
  bool startOfFile;
  StreamSourceData source;
  int64_t dataEnd;
};

struct JpegErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

// The progress monitor with the scans' work so far: the blocks of each scan, counted as it starts.
struct JpegScanWork {
  jpeg_progress_mgr pub;
  int countedScan;
  int64_t blocks;
};

// What the decode holds; it lives outside the function that sets the jump, so an error jump loses none of it.
struct JpegJob {
  jpeg_decompress_struct cinfo;
  JpegErrorManager error;
  JpegScanWork progress;
  StreamSourceData* source = nullptr;
  unsigned char* pixels = nullptr;
  GraphImage result{};
};

void JpegSourceInit(j_decompress_ptr cinfo) {
  reinterpret_cast<JpegSourceManager*>(cinfo->src)->startOfFile = true;
}

boolean JpegSourceFill(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<JpegSourceManager*>(cinfo->src);
  int64_t n = src->dataEnd - StreamTell(&src->source);
  if (n > kSourceBufferSize) n = kSourceBufferSize;
  if (n > 0 && !ReadElement(&src->source, src->buffer, static_cast<size_t>(n))) n = 0;
  if (n <= 0) {
    if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    // A fake end-of-image marker lets a cut file decode as far as it goes.
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    n = 2;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = static_cast<size_t>(n);
  src->startOfFile = false;
  return TRUE;
}

void JpegSourceSkip(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  while (count > static_cast<long>(src->bytes_in_buffer)) {
    count -= static_cast<long>(src->bytes_in_buffer);
    JpegSourceFill(cinfo);
  }
  src->next_input_byte += count;
  src->bytes_in_buffer -= static_cast<size_t>(count);
}

void JpegSourceTerm(j_decompress_ptr) {}

void ImageJpegSetupSource(j_decompress_ptr cinfo, StreamSourceData* source) {
  if (cinfo->src == nullptr) {
    auto* src = static_cast<JpegSourceManager*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(JpegSourceManager)));
    src->buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kSourceBufferSize));
    cinfo->src = &src->pub;
  }
  auto* src = reinterpret_cast<JpegSourceManager*>(cinfo->src);
  src->pub.init_source = JpegSourceInit;
  src->pub.fill_input_buffer = JpegSourceFill;
  src->pub.skip_input_data = JpegSourceSkip;
  src->pub.resync_to_restart = jpeg_resync_to_restart;
  src->pub.term_source = JpegSourceTerm;
  src->source = *source;
  src->dataEnd = MeasureStreamEnd(source);
  src->pub.bytes_in_buffer = 0;
  src->pub.next_input_byte = nullptr;
}

[[noreturn]] void ImageJpegErrorExit(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

void JpegSilentOutput(j_common_ptr) {}

void JpegSilentEmit(j_common_ptr cinfo, int level) {
  if (level < 0) cinfo->err->num_warnings++;
}

// Runs before each row of input is taken, so a scan is refused before any of its blocks is walked.
void JpegScanLimit(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  auto* work = reinterpret_cast<JpegScanWork*>(d->progress);
  if (d->input_scan_number != work->countedScan) {
    work->countedScan = d->input_scan_number;
    work->blocks += int64_t{d->MCUs_per_row} * d->MCU_rows_in_scan * d->blocks_in_MCU;
  }
  if (d->input_scan_number > kMaxScans || work->blocks > kMaxScanBlocks) ERREXIT(cinfo, JERR_NOT_COMPILED);
}

// Reads the picture into job->pixels as grey or B G R rows; false on any failure.
bool RunJpeg(JpegJob* job) {
  j_decompress_ptr cinfo = &job->cinfo;
  if (setjmp(job->error.jump)) return false;
  jpeg_create_decompress(cinfo);
  job->progress.pub.progress_monitor = JpegScanLimit;
  cinfo->progress = &job->progress.pub;
  ImageJpegSetupSource(cinfo, job->source);
  jpeg_read_header(cinfo, TRUE);
  // Only grey and colour pictures are taken; four-channel ones (CMYK, YCCK) are refused.
  int components = cinfo->out_color_space == JCS_GRAYSCALE ? 1 : cinfo->out_color_space == JCS_RGB ? 3 : 0;
  if (components == 0 || !IsPictureSizeAllowed(cinfo->image_width, cinfo->image_height)) return false;
  jpeg_start_decompress(cinfo);
  if (cinfo->output_components != components) return false;
  int64_t rowBytes = int64_t{cinfo->output_width} * components;
  int64_t bytes = BlockSize(rowBytes, cinfo->output_height);
  JSAMPARRAY sample = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                   static_cast<JDIMENSION>(rowBytes), 1);
  job->pixels = static_cast<unsigned char*>(AllocPixelBlock(bytes));
  if (job->pixels == nullptr) return false;
  while (cinfo->output_scanline < cinfo->output_height) {
    unsigned char* row = job->pixels + rowBytes * cinfo->output_scanline;
    if (jpeg_read_scanlines(cinfo, sample, 1) != 1) return false;
    if (components == 1) {
      std::memcpy(row, sample[0], static_cast<size_t>(rowBytes));
    } else {
      for (int64_t i = 0; i < rowBytes; i += 3) {
        row[i] = sample[0][i + 2];
        row[i + 1] = sample[0][i + 1];
        row[i + 2] = sample[0][i];
      }
    }
  }
  jpeg_finish_decompress(cinfo);
  if (components == 1) {
    SetFormatGrey8(&job->result.format);
  } else {
    SetColorFormatR8G8B8(&job->result.format);
  }
  job->result.width = static_cast<int32_t>(cinfo->output_width);
  job->result.height = static_cast<int32_t>(cinfo->output_height);
  job->result.pitch = static_cast<int32_t>(rowBytes);
  return true;
}

}  // namespace

int DecodeJpegPicture(StreamSourceData* source, GraphImage* image) {
  JpegJob job{};
  job.cinfo.err = jpeg_std_error(&job.error.pub);
  job.error.pub.error_exit = ImageJpegErrorExit;
  job.error.pub.output_message = JpegSilentOutput;
  job.error.pub.emit_message = JpegSilentEmit;
  job.source = source;
  bool ok = RunJpeg(&job);
  jpeg_destroy_decompress(&job.cinfo);
  if (!ok) {
    MemFree(job.pixels);
    return -1;
  }
  job.result.pixels = job.pixels;
  *image = job.result;
  return 0;
}
