// Sound toolkit: oscillators, filters, envelopes, and the WAV, Ogg Vorbis and Standard MIDI File writers.
#include "audio.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace assetgen {
namespace {

float PolyBlep(float t, float dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back((v >> shift) & 0xFF);
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  File file(std::fopen(path.c_str(), "wb"), std::fclose);
  return file && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
}

}  // namespace

float Saw(float phase, float dt) { return 2 * phase - 1 - PolyBlep(phase, dt); }

float Square(float phase, float dt, float width) {
  float second = phase - width;
  if (second < 0) second += 1;
  return (phase < width ? 1.0f : -1.0f) + PolyBlep(phase, dt) - PolyBlep(second, dt);
}

float Triangle(float phase) { return phase < 0.5f ? 4 * phase - 1 : 3 - 4 * phase; }

float Filter::Low(float in, float cutoff, float q) {
  float f = 2 * std::sin(3.14159265f * std::min(cutoff, kRate * 0.2f) / kRate);
  low += f * band;
  float high = in - low - q * band;
  band += f * high;
  return low;
}

float Noise::Next() {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return static_cast<float>(state) / 2147483648.0f - 1;
}

float Envelope(float t, float attack, float decay) {
  if (t < 0) return 0;
  if (t < attack) return t / attack;
  return std::exp(-(t - attack) / decay);
}

float TailFade(float t, float length, float fadeSeconds) { return std::clamp((length - t) / fadeSeconds, 0.0f, 1.0f); }

void Normalize(Samples& s, float peak) {
  float most = 0;
  for (float v : s) most = std::max(most, std::fabs(v));
  if (most > 0)
    for (float& v : s) v *= peak / most;
}

bool WriteWav(const std::string& path, const Samples& s, int channels) {
  std::vector<uint8_t> out;
  uint32_t dataBytes = static_cast<uint32_t>(s.size() * 2);
  for (char ch : std::string("RIFF")) out.push_back(ch);
  Put32(out, 36 + dataBytes);
  for (char ch : std::string("WAVEfmt ")) out.push_back(ch);
  Put32(out, 16);
  Put16(out, 1);
  Put16(out, channels);
  Put32(out, kRate);
  Put32(out, kRate * channels * 2);
  Put16(out, channels * 2);
  Put16(out, 16);
  for (char ch : std::string("data")) out.push_back(ch);
  Put32(out, dataBytes);
  for (float v : s) Put16(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767))));
  return WriteBytes(path, out);
}

bool WriteOgg(const std::string& path, const Samples& s, int channels, float quality, uint32_t serial) {
  File file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) return false;
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channels, kRate, quality) != 0) {
    vorbis_info_clear(&info);
    return false;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_comment_add_tag(&comment, "TITLE", "Qelt stage");
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, static_cast<int>(serial));
  bool ok = true;
  auto writePage = [&](const ogg_page& page) {
    ok = ok && std::fwrite(page.header, 1, page.header_len, file.get()) == static_cast<size_t>(page.header_len);
    ok = ok && std::fwrite(page.body, 1, page.body_len, file.get()) == static_cast<size_t>(page.body_len);
  };
  ogg_packet header, headerComment, headerCode;
  vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &headerComment);
  ogg_stream_packetin(&stream, &headerCode);
  ogg_page page;
  while (ogg_stream_flush(&stream, &page)) writePage(page);
  size_t frames = s.size() / channels, done = 0;
  bool ended = false;
  while (!ended) {
    size_t chunk = std::min<size_t>(4096, frames - done);
    if (chunk == 0) {
      vorbis_analysis_wrote(&dsp, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(chunk));
      for (size_t i = 0; i < chunk; ++i)
        for (int ch = 0; ch < channels; ++ch) buffer[ch][i] = s[(done + i) * channels + ch];
      vorbis_analysis_wrote(&dsp, static_cast<int>(chunk));
      done += chunk;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page)) {
          writePage(page);
          if (ogg_page_eos(&page)) ended = true;
        }
      }
    }
  }
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return ok;
}

void MidiTrack::Tempo(uint32_t tick, int us) {
  events_.push_back({tick, 0, {0xFF, 0x51, 0x03, static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8),
                               static_cast<uint8_t>(us)}});
}

void MidiTrack::Program(uint32_t tick, int channel, int program) {
  events_.push_back({tick, 1, {static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(program)}});
}

void MidiTrack::Control(uint32_t tick, int channel, int controller, int value) {
  events_.push_back(
      {tick, 1, {static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(controller), static_cast<uint8_t>(value)}});
}

void MidiTrack::Note(uint32_t tick, uint32_t length, int channel, int key, int velocity) {
  events_.push_back(
      {tick, 3, {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(key), static_cast<uint8_t>(velocity)}});
  events_.push_back({tick + length, 2, {static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(key), 0}});
}

bool MidiTrack::Write(const std::string& path) const {
  std::vector<Event> sorted = events_;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Event& a, const Event& b) { return a.tick != b.tick ? a.tick < b.tick : a.order < b.order; });
  std::vector<uint8_t> track;
  uint32_t now = 0;
  auto putVariable = [&](uint32_t v) {
    uint8_t bytes[5];
    int n = 0;
    bytes[n++] = v & 0x7F;
    while (v >>= 7) bytes[n++] = static_cast<uint8_t>((v & 0x7F) | 0x80);
    while (n) track.push_back(bytes[--n]);
  };
  for (const Event& e : sorted) {
    putVariable(e.tick - now);
    now = e.tick;
    track.insert(track.end(), e.bytes.begin(), e.bytes.end());
  }
  putVariable(0);
  track.insert(track.end(), {0xFF, 0x2F, 0x00});
  std::vector<uint8_t> out = {'M', 'T', 'h', 'd'};
  PutBig32(out, 6);
  out.insert(out.end(), {0, 0, 0, 1, static_cast<uint8_t>(division_ >> 8), static_cast<uint8_t>(division_)});
  out.insert(out.end(), {'M', 'T', 'r', 'k'});
  PutBig32(out, static_cast<uint32_t>(track.size()));
  out.insert(out.end(), track.begin(), track.end());
  return WriteBytes(path, out);
}

}  // namespace assetgen
