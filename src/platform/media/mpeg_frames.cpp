// MPEG audio frame headers, and the run of frames that tells a stream's own rate from damage before it.
#include "platform/media/mpeg_frames.h"

namespace media {
namespace {

// Damage can read as a frame or two of another rate, which the codec skips; three frames of one rate in a row are
// the stream's own.
constexpr int kSettledFrames = 3;

}  // namespace

bool ReadMpegHeader(const uint8_t* p, size_t available, MpegHeader* out) {
  static constexpr uint16_t kBitrates[2][3][15] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static constexpr uint32_t kRates[3] = {44100, 48000, 32000};
  if (available < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  int version = (p[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  int layerBits = (p[1] >> 1) & 3;
  int bitrateIndex = p[2] >> 4;
  int rateIndex = (p[2] >> 2) & 3;
  if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  int layer = 4 - layerBits;
  bool mpeg1 = version == 3;
  uint32_t rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  uint32_t bitrate = kBitrates[mpeg1 ? 0 : 1][layer - 1][bitrateIndex] * 1000u;
  uint32_t padding = (p[2] >> 1) & 1;
  out->length = layer == 1 ? (12 * bitrate / rate + padding) * 4
                           : (layer == 3 && !mpeg1 ? 72 : 144) * bitrate / rate + padding;
  out->rate = rate;
  out->bitrate = bitrate;
  out->layer = layer;
  out->channels = (p[3] >> 6) == 3 ? 1 : 2;
  return out->length >= 4;
}

bool ReadSettledMpegHeader(const uint8_t* bytes, size_t length, MpegHeader* out) {
  MpegHeader frame, runFirst, longest;
  int runFrames = 0, longestFrames = 0;
  // A run is cut where the next frame is of another rate, or where no header begins; the search then goes on from
  // the byte after the last frame's start, so every byte is searched at most once and a frame joins one run.
  for (size_t search = 0; search < length; ++search) {
    if (!ReadMpegHeader(bytes + search, length - search, &frame)) continue;
    runFrames = 0;
    for (size_t at = search;;) {
      if (runFrames > 0 && frame.rate != runFirst.rate) runFrames = 0;
      if (runFrames++ == 0) runFirst = frame;
      if (runFrames == kSettledFrames) {
        *out = runFirst;
        return true;
      }
      if (runFrames > longestFrames) longestFrames = runFrames, longest = runFirst;
      search = at;
      const size_t next = at + frame.length;
      if (next >= length || !ReadMpegHeader(bytes + next, length - next, &frame)) break;
      at = next;
    }
  }
  if (longestFrames > 0) *out = longest;
  return longestFrames > 0;
}

}  // namespace media
