// Test files for music: Standard MIDI Files built event by event, a tiny SoundFont (one looped square wave on
// program 0 of bank 0) so the synthesiser loads in a moment, and a wave file of a ramp.
#pragma once
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<uint8_t>;

inline void PutBe(Bytes& b, uint32_t v, int n) {
  for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutLe(Bytes& b, uint32_t v, int n) {  // n above 4 pads with zeros
  for (int i = 0; i < n; ++i) b.push_back(i < 4 ? static_cast<uint8_t>(v >> (8 * i)) : 0);
}
inline void PutText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
inline void PutChunk(Bytes& b, const std::string& id, const Bytes& body, bool littleEndian) {
  PutText(b, id);
  littleEndian ? PutLe(b, static_cast<uint32_t>(body.size()), 4) : PutBe(b, static_cast<uint32_t>(body.size()), 4);
  b.insert(b.end(), body.begin(), body.end());
  if (littleEndian && (body.size() & 1)) b.push_back(0);
}

// One track: events appended with their delta time in ticks (a variable-length quantity).
struct Track {
  Bytes bytes;
  Track& Event(uint32_t delta, std::initializer_list<uint8_t> data) {
    uint8_t groups[5];
    int n = 0;
    do groups[n++] = delta & 0x7F; while ((delta >>= 7) != 0);
    while (n-- > 0) bytes.push_back(static_cast<uint8_t>(groups[n] | (n ? 0x80 : 0)));
    bytes.insert(bytes.end(), data);
    return *this;
  }
  Track& Tempo(uint32_t delta, uint32_t microsPerQuarter) {
    return Event(delta, {0xFF, 0x51, 3, static_cast<uint8_t>(microsPerQuarter >> 16),
                         static_cast<uint8_t>(microsPerQuarter >> 8), static_cast<uint8_t>(microsPerQuarter)});
  }
  Track& End(uint32_t delta) { return Event(delta, {0xFF, 0x2F, 0}); }
};

inline Bytes MidiFile(int format, uint16_t division, const std::vector<Track>& tracks) {
  Bytes file, header;
  PutBe(header, static_cast<uint32_t>(format), 2);
  PutBe(header, static_cast<uint32_t>(tracks.size()), 2);
  PutBe(header, division, 2);
  PutChunk(file, "MThd", header, false);
  for (const Track& t : tracks) PutChunk(file, "MTrk", t.bytes, false);
  return file;
}

inline Bytes RmidFile(const Bytes& smf) {
  Bytes form, file;
  PutText(form, "RMID");
  PutChunk(form, "data", smf, true);
  PutChunk(file, "RIFF", form, true);
  return file;
}

// A SoundFont of one instrument: a looped square wave of 100 samples (441 Hz at key 69) over every key.
inline Bytes TinySoundFont() {
  auto name = [](Bytes& b, const std::string& s) {
    PutText(b, s);
    b.resize(b.size() + 20 - s.size(), 0);
  };
  Bytes smpl;
  for (int i = 0; i < 200 + 46; ++i) PutLe(smpl, i < 200 ? ((i % 100) < 50 ? 12000 : -12000) & 0xFFFF : 0, 2);
  Bytes phdr, pbag, pmod(10, 0), pgen, inst, ibag, imod(10, 0), igen, shdr;
  name(phdr, "Square"), PutLe(phdr, 0, 2), PutLe(phdr, 0, 2), PutLe(phdr, 0, 2), PutLe(phdr, 0, 12);
  name(phdr, "EOP"), PutLe(phdr, 0, 2), PutLe(phdr, 0, 2), PutLe(phdr, 1, 2), PutLe(phdr, 0, 12);
  PutLe(pbag, 0, 2), PutLe(pbag, 0, 2), PutLe(pbag, 1, 2), PutLe(pbag, 0, 2);
  PutLe(pgen, 41, 2), PutLe(pgen, 0, 2), PutLe(pgen, 0, 4);  // instrument 0
  name(inst, "Square"), PutLe(inst, 0, 2), name(inst, "EOI"), PutLe(inst, 1, 2);
  PutLe(ibag, 0, 2), PutLe(ibag, 0, 2), PutLe(ibag, 2, 2), PutLe(ibag, 0, 2);
  PutLe(igen, 54, 2), PutLe(igen, 1, 2), PutLe(igen, 53, 2), PutLe(igen, 0, 2), PutLe(igen, 0, 4);  // loop; sample 0
  name(shdr, "Square"), PutLe(shdr, 0, 4), PutLe(shdr, 200, 4), PutLe(shdr, 0, 4), PutLe(shdr, 200, 4);
  PutLe(shdr, 44100, 4), shdr.push_back(69), shdr.push_back(0), PutLe(shdr, 0, 2), PutLe(shdr, 1, 2);
  name(shdr, "EOS"), PutLe(shdr, 0, 26);
  Bytes info, sdta, pdta, form, file;
  PutText(info, "INFO"), PutChunk(info, "ifil", {2, 0, 1, 0}, true), PutChunk(info, "isng", {'E', 'M', 'U', 0}, true);
  PutChunk(info, "INAM", {'T', 'i', 'n', 'y'}, true);
  PutText(sdta, "sdta"), PutChunk(sdta, "smpl", smpl, true);
  PutText(pdta, "pdta");
  for (auto& [id, body] : {std::pair<const char*, Bytes&>{"phdr", phdr}, {"pbag", pbag}, {"pmod", pmod},
                           {"pgen", pgen}, {"inst", inst}, {"ibag", ibag}, {"imod", imod}, {"igen", igen},
                           {"shdr", shdr}}) {
    PutChunk(pdta, id, body, true);
  }
  PutText(form, "sfbk"), PutChunk(form, "LIST", info, true), PutChunk(form, "LIST", sdta, true);
  PutChunk(form, "LIST", pdta, true);
  PutChunk(file, "RIFF", form, true);
  return file;
}

// 16-bit stereo PCM at 44,100 Hz: frame i holds (i, -i) modulo 30000.
inline Bytes RampWave(int frames) {
  Bytes fmt, data, form, file;
  PutLe(fmt, 1, 2), PutLe(fmt, 2, 2), PutLe(fmt, 44100, 4), PutLe(fmt, 176400, 4), PutLe(fmt, 4, 2), PutLe(fmt, 16, 2);
  for (int i = 0; i < frames; ++i) PutLe(data, (i % 30000) & 0xFFFF, 2), PutLe(data, -(i % 30000) & 0xFFFF, 2);
  PutText(form, "WAVE"), PutChunk(form, "fmt ", fmt, true), PutChunk(form, "data", data, true);
  PutChunk(file, "RIFF", form, true);
  return file;
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace testing_support
