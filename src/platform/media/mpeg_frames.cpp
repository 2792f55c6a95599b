// MPEG audio frame headers, and the chained frames that tell a stream's own from damage before it.
#include "platform/media/mpeg_frames.h"

#include <algorithm>
#include <array>
#include <vector>

namespace media {
namespace {

// Room for the longest frame (2,881 bytes: MPEG-2.5 Layer II at 160 kbit/s and 8,000 Hz, padded) and the header
// after it.
constexpr size_t kFrameRoom = 4096;

// The stream's bytes about a walk's position, read anew where the walk moves past them.
class Window {
 public:
  Window(const MpegReadAt& read, uint64_t end) : read_(read), end_(end), bytes_(kMpegVoteBytes + kFrameRoom) {}
  // The header of a frame at the walk's position `at`; the window then holds the bytes to its end and the header
  // after it, as far as the stream holds them.
  bool Frame(uint64_t at, MpegHeader* out) {
    if (at < base_ || (!ended_ && at + kFrameRoom > base_ + held_)) {
      base_ = at;
      const auto want = static_cast<size_t>(std::min<uint64_t>(bytes_.size(), end_ - std::min(at, end_)));
      held_ = want ? read_(at, bytes_.data(), want) : 0;
      ended_ = held_ < bytes_.size();
    }
    return Header(at, out);
  }
  // Whether a frame header begins where the frame at `at` (just read by Frame) ends.
  bool Followed(uint64_t at, const MpegHeader& frame) const {
    MpegHeader next;
    return Header(at + frame.length, &next);
  }

 private:
  bool Header(uint64_t at, MpegHeader* out) const {
    return at - base_ < held_ && ReadMpegHeader(bytes_.data() + (at - base_), held_ - (at - base_), out);
  }

  const MpegReadAt& read_;
  uint64_t end_, base_ = 0;
  std::vector<uint8_t> bytes_;
  size_t held_ = 0;
  bool ended_ = false;  // the bytes held run to the stream's end, or as far as it could be read
};

}  // namespace

bool IsMpegSync(uint8_t first, uint8_t second) { return first == 0xFF && (second & 0xE0) == 0xE0; }

bool ReadMpegHeader(const uint8_t* p, size_t available, MpegHeader* out) {
  static constexpr uint16_t kBitrates[2][3][15] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static constexpr uint32_t kRates[3] = {44100, 48000, 32000};
  if (available < 4 || !IsMpegSync(p[0], p[1])) return false;
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

bool FindMpegStream(const MpegReadAt& read, uint64_t from, uint64_t end, MpegStream* out) {
  Window window(read, end);
  MpegHeader frame;
  bool found = false;
  const uint64_t last = std::min(end, from + kMpegSearchBytes);
  uint64_t chain = from;  // where the first two chained frames begin
  for (; chain < last; ++chain) {
    if (!window.Frame(chain, &frame)) continue;
    if (!found) out->start = chain, out->header = frame;
    found = true;
    if (window.Followed(chain, frame)) break;
  }
  out->chained = chain < last;
  if (!out->chained) return found && last == end;
  struct Vote {
    int frames;
    uint64_t first;
    MpegHeader header;  // of the first
  };
  std::array<Vote, 9> votes{};  // one a rate, in the order first met: MPEG audio has nine
  size_t rates = 0;
  bool linked = false;  // a chained frame ends where the walk is
  for (uint64_t at = chain; at < end && at - chain < kMpegVoteBytes;) {
    if (!window.Frame(at, &frame) || !(linked || window.Followed(at, frame))) {
      linked = false;
      ++at;
      continue;
    }
    size_t rate = 0;
    while (rate < rates && votes[rate].header.rate != frame.rate) ++rate;
    if (rate == rates) votes[rates++] = {0, at, frame};
    ++votes[rate].frames;
    linked = true;
    at += frame.length;
  }
  // The first chained frames vote (the walk begins on them), so some rate has a vote; the first of the most.
  const Vote& chosen = *std::max_element(votes.begin(), votes.begin() + static_cast<long>(rates),
                                         [](const Vote& a, const Vote& b) { return a.frames < b.frames; });
  out->start = chosen.first;
  out->header = chosen.header;
  return true;
}

}  // namespace media
