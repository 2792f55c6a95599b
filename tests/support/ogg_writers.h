// Ogg Vorbis files made with the reference encoder: a short tone, and crafted files of the kind a hostile user
// sends: one silent long-block packet repeated, so a few bytes stand for much sound, with the identification
// header's rate optionally replaced. Used by the sound tests and by the fuzzers' seed writer.
#pragma once
#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace testing_support {

struct VorbisPacket {
  std::vector<uint8_t> bytes;
  int64_t granule = 0;
};

// The three header packets and the audio packets of `frames` frames of the signal (sample index, channel).
template <class Signal>
inline bool EncodeVorbis(int channels, long rate, int frames, Signal signal, std::vector<VorbisPacket>* headers,
                         std::vector<VorbisPacket>* audio, int* longBlock) {
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channels, rate, 0.1f) != 0) {
    vorbis_info_clear(&info);
    return false;
  }
  *longBlock = vorbis_info_blocksize(&info, 1);
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  auto keep = [](const ogg_packet& p, std::vector<VorbisPacket>* into) {
    into->push_back({std::vector<uint8_t>(p.packet, p.packet + p.bytes), p.granulepos});
  };
  ogg_packet h[3];
  vorbis_analysis_headerout(&dsp, &comment, &h[0], &h[1], &h[2]);
  for (const ogg_packet& p : h) keep(p, headers);
  for (int done = 0;; done += 1024) {
    const int n = std::min(1024, frames - done);
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&dsp, n);
      for (int c = 0; c < channels; ++c) {
        for (int i = 0; i < n; ++i) buffer[c][i] = signal(done + i, c);
      }
    }
    vorbis_analysis_wrote(&dsp, n > 0 ? n : 0);
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) keep(packet, audio);
    }
    if (n <= 0) break;
  }
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return true;
}

// Pages the packets into one logical stream.
inline std::vector<uint8_t> PageVorbis(const std::vector<VorbisPacket>& headers,
                                       const std::vector<VorbisPacket>& audio, int serial = 7) {
  ogg_stream_state os;
  ogg_stream_init(&os, serial);
  std::vector<uint8_t> file;
  ogg_page page;
  auto take = [&](int (*next)(ogg_stream_state*, ogg_page*)) {
    while (next(&os, &page)) {
      file.insert(file.end(), page.header, page.header + page.header_len);
      file.insert(file.end(), page.body, page.body + page.body_len);
    }
  };
  int64_t number = 0;
  auto put = [&](const VorbisPacket& p, bool last) {
    ogg_packet packet{};
    packet.packet = const_cast<unsigned char*>(p.bytes.data());
    packet.bytes = static_cast<long>(p.bytes.size());
    packet.b_o_s = number == 0;
    packet.e_o_s = last;
    packet.granulepos = p.granule;
    packet.packetno = number++;
    ogg_stream_packetin(&os, &packet);
  };
  for (const VorbisPacket& p : headers) put(p, false);
  take(ogg_stream_flush);
  for (size_t i = 0; i < audio.size(); ++i) {
    put(audio[i], i + 1 == audio.size());
    take(ogg_stream_pageout);
  }
  take(ogg_stream_flush);
  ogg_stream_clear(&os);
  return file;
}

// A short tone of `frames` frames at 8,000 Hz, one channel, in a logical stream of the given serial number.
inline std::vector<uint8_t> VorbisTone(int frames, int serial = 7) {
  std::vector<VorbisPacket> headers, audio;
  int longBlock = 0;
  if (!EncodeVorbis(1, 8000, frames, [](int i, int) { return static_cast<float>(0.5 * std::sin(i * 0.2)); },
                    &headers, &audio, &longBlock)) {
    return {};
  }
  return PageVorbis(headers, audio, serial);
}

// Silence at 44,100 Hz that decodes to at least `frames` frames a channel, made of one long-block packet
// repeated; `claimedRate` (when not 0) replaces the rate the identification header states. With `statesLength`
// false every page says it ends at frame 0, so the stream's stated length is nothing.
inline std::vector<uint8_t> SilentVorbisBomb(int channels, uint64_t frames, uint32_t claimedRate = 0,
                                             bool statesLength = true) {
  std::vector<VorbisPacket> headers, audio;
  int longBlock = 0;
  if (!EncodeVorbis(channels, 44100, 44100, [](int, int) { return 0.0f; }, &headers, &audio, &longBlock)) return {};
  if (claimedRate) std::memcpy(headers[0].bytes.data() + 12, &claimedRate, 4);  // after type, "vorbis", version, channels
  // A long block between long blocks: audio packet, mode 1 (the long mode), both window flags set.
  const VorbisPacket* silent = nullptr;
  for (const VorbisPacket& p : audio) {
    if (!p.bytes.empty() && (p.bytes[0] & 0x0F) == 0x0E) silent = &p;
  }
  if (!silent) return {};
  const uint64_t step = static_cast<uint64_t>(longBlock) / 2;
  std::vector<VorbisPacket> repeated(frames / step + 2, *silent);
  for (size_t i = 0; i < repeated.size(); ++i) repeated[i].granule = statesLength ? static_cast<int64_t>(i * step) : 0;
  return PageVorbis(headers, repeated);
}

}  // namespace testing_support
