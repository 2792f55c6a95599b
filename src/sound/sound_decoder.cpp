// Sound decoders: detection by content in a fixed order, the four set-ups, block readers, time seeks, whole
// decodes, and the wave-image and whole-stream helpers. Nothing trusts a length from the file beyond the
// stream's own end, and every block reader ends the data when a read delivers nothing.
#include "sound/sound_decoder.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "platform/media/mpeg_frames.h"
#include "sound/sound_system.h"

namespace {

// Formats the DirectSound substitute plays; anything else is refused at detection rather than at buffer
// creation, where a failure ends the program.
bool PlayablePcm(const WAVEFORMATEX& f) {
  return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
         (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec >= 100 &&
         f.nSamplesPerSec <= 100000 && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

// The fmt body's format: the body's bytes (at most 18), with the 16-byte rule for shorter PCM bodies. The
// format may be the body itself.
void FormatFromBody(const uint8_t* body, uint32_t bodySize, WAVEFORMATEX* format) {
  WAVEFORMATEX copy{};
  std::memcpy(&copy, body, std::min<uint32_t>(bodySize, sizeof copy));
  *format = copy;
  if (bodySize <= 16) {
    format->cbSize = 0;
    if (format->nChannels) format->wBitsPerSample = static_cast<WORD>(format->nBlockAlign / format->nChannels * 8);
  }
}

int32_t Tell(SoundDecoder* d) { return d->source.functions.tell(d->source.handle); }
int Seek(SoundDecoder* d, int64_t offset, int origin) {
  if (offset > INT32_MAX || offset < INT32_MIN) return -1;
  return d->source.functions.seek(d->source.handle, static_cast<int32_t>(offset), origin);
}
size_t ReadBytes(SoundDecoder* d, void* buffer, size_t bytes) {
  return bytes ? d->source.functions.read(buffer, 1, bytes, d->source.handle) : 0;
}
int AtEnd(SoundDecoder* d) { return d->source.functions.eof(d->source.handle); }

// The stream's length (the position after a seek to the end), 0 when it cannot be told.
uint32_t StreamLength(SoundDecoder* d) {
  Seek(d, 0, 2);
  const int32_t size = Tell(d);
  return size > 0 ? static_cast<uint32_t>(size) : 0;
}

// The RIFF/WAVE walk of both WAV set-ups: the fmt body (a new block of at least 18 zeroed bytes) and the data
// chunk's position and size (clamped to the stream). False for anything else.
bool WalkRiff(SoundDecoder* d, uint8_t** body, uint32_t* bodySize) {
  const uint32_t length = StreamLength(d);
  Seek(d, 0, 0);
  uint8_t header[12];
  if (ReadBytes(d, header, 12) != 12 || std::memcmp(header, "RIFF", 4) || std::memcmp(header + 8, "WAVE", 4)) {
    return false;
  }
  if (ReadBytes(d, header, 8) != 8 || std::memcmp(header, "fmt ", 4)) return false;
  uint32_t size;
  std::memcpy(&size, header + 4, 4);
  if (size < 14 || size > 0x10000) return false;
  *body = static_cast<uint8_t*>(MemAllocZeroed(static_cast<int>(std::max<uint32_t>(size, 18))));
  if (!*body) return false;
  *bodySize = size;
  if (ReadBytes(d, *body, size) == size) {
    for (;;) {
      if (AtEnd(d) || ReadBytes(d, header, 8) != 8) break;
      uint32_t chunk;
      std::memcpy(&chunk, header + 4, 4);
      const int64_t here = Tell(d);
      if (!std::memcmp(header, "data", 4)) {
        d->dataPosition = static_cast<uint32_t>(here);
        d->dataSize = std::min<uint32_t>(chunk, here < length ? length - static_cast<uint32_t>(here) : 0);
        return true;
      }
      const int64_t next = here + chunk + (chunk & 1);
      if (next >= length || Seek(d, next, 0) != 0) break;
    }
  }
  MemFree(*body);
  *body = nullptr;
  return false;
}

int SetupPcmWave(SoundDecoder* d) {
  uint8_t* body = nullptr;
  uint32_t size = 0;
  if (!WalkRiff(d, &body, &size)) return -1;
  WAVEFORMATEX f;
  FormatFromBody(body, size, &f);
  MemFree(body);
  if (f.wFormatTag != WAVE_FORMAT_PCM || !PlayablePcm(f)) return -1;
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  d->outputFormat = f;
  d->outputBufferSize = static_cast<int32_t>(f.nAvgBytesPerSec);
  d->kind = kDecoderPcm;
  return 0;
}

void ReleaseAcm(SoundDecoder* d) {
  if (d->acmStream) acmStreamClose(d->acmStream, 0);
  d->acmStream = nullptr;
  MemFree(d->acmSourceFormat);
  d->acmSourceFormat = nullptr;
  MemFree(d->acmSourceBuffer);
  d->acmSourceBuffer = nullptr;
}

// Steps shared by compressed WAV and MPEG audio once the source format is set: output format, source block,
// source buffer, conversion stream, output buffer.
int SetupAcmStream(SoundDecoder* d) {
  WAVEFORMATEX* source = d->acmSourceFormat;
  std::memset(&d->outputFormat, 0, sizeof d->outputFormat);
  d->outputFormat.wFormatTag = WAVE_FORMAT_PCM;
  if (source->nBlockAlign == 0 ||
      acmFormatSuggest(nullptr, source, &d->outputFormat, sizeof(WAVEFORMATEX), ACM_FORMATSUGGESTF_WFORMATTAG) != 0 ||
      !PlayablePcm(d->outputFormat)) {
    ReleaseAcm(d);
    return -1;
  }
  // An eighth of a second of source in whole blocks, but at least one block and at most 1 MiB.
  const int eighth = static_cast<int>(std::min<DWORD>(source->nAvgBytesPerSec / 8, 1 << 20));
  d->acmSourceBlockSize = std::max(AlignToFormatBlock(eighth, source), static_cast<int>(source->nBlockAlign));
  d->acmSourceFill = 0;
  d->acmSourceBuffer = static_cast<uint8_t*>(MemAlloc(d->acmSourceBlockSize));
  if (!d->acmSourceBuffer ||
      acmStreamOpen(&d->acmStream, nullptr, source, &d->outputFormat, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME)) {
    d->acmStream = nullptr;
    ReleaseAcm(d);
    return -1;
  }
  // One second of output, and never less than one converted source block.
  DWORD blockOutput = 0;
  acmStreamSize(d->acmStream, static_cast<DWORD>(d->acmSourceBlockSize), &blockOutput, ACM_STREAMSIZEF_SOURCE);
  d->outputBufferSize = static_cast<int32_t>(std::max<DWORD>(d->outputFormat.nAvgBytesPerSec, blockOutput));
  d->kind = kDecoderAcm;
  return 0;
}

int SetupAcmWave(SoundDecoder* d) {
  uint8_t* body = nullptr;
  uint32_t size = 0;
  if (!WalkRiff(d, &body, &size)) return -1;
  auto* format = reinterpret_cast<WAVEFORMATEX*>(body);
  if (format->wFormatTag == WAVE_FORMAT_PCM && size <= 16) FormatFromBody(body, size, format);
  // The extra bytes a codec reads are never more than the body holds.
  format->cbSize = static_cast<WORD>(size < 18 ? 0 : std::min<uint32_t>(format->cbSize, size - 18));
  d->acmSourceFormat = format;
  return SetupAcmStream(d);
}

int SetupOggVorbis(SoundDecoder* d) {
  const ov_callbacks callbacks = {OggReadCallback, OggSeekCallback, OggCloseCallback, OggTellCallback};
  if (ov_open_callbacks(&d->source, &d->vorbis, nullptr, 0, callbacks) != 0) return -1;
  d->vorbisOpen = 1;
  const vorbis_info* info = ov_info(&d->vorbis, -1);
  const int bytes = SoundDecoderBytesPerSample();
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  if (info && info->channels > 0 && info->channels <= 2 && info->rate > 0 && info->rate <= 100000) {
    f.nChannels = static_cast<WORD>(info->channels);
    f.nSamplesPerSec = static_cast<DWORD>(info->rate);
  }
  f.wBitsPerSample = static_cast<WORD>(bytes * 8);
  f.nBlockAlign = static_cast<WORD>(f.nChannels * bytes);
  f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
  if (!PlayablePcm(f)) {
    ov_clear(&d->vorbis);
    d->vorbisOpen = 0;
    return -1;
  }
  d->outputFormat = f;
  d->outputBytesPerSample = bytes;
  d->outputBufferSize = 4096;
  d->kind = kDecoderOgg;
  return 0;
}

// ---- MPEG audio frames ----
// Scans from the current position for a frame's sync; reads the header's other two bytes. 1 found (start and the
// header's four bytes out), 0 the stream ended first.
int FindFrame(SoundDecoder* d, int32_t* start, uint8_t bytes[4]) {
  if (ReadBytes(d, bytes + 1, 1) != 1) return 0;
  do {
    bytes[0] = bytes[1];
    if (ReadBytes(d, bytes + 1, 1) != 1) return 0;
  } while (!media::IsMpegSync(bytes[0], bytes[1]));
  *start = Tell(d) - 2;
  return ReadBytes(d, bytes + 2, 2) == 2 ? 1 : 0;
}

// Damaged MPEG audio holds a broken frame header here and there among its sound ones; other data that happens to
// hold frame syncs holds about as many broken headers as sound ones.
constexpr int kSoundHeadersPerBroken = 16;

int SetupMpegAudio(SoundDecoder* d) {
  const uint32_t size = StreamLength(d);
  Seek(d, 0, 0);
  uint8_t tag[10];
  uint32_t tagLength = 0;
  if (ReadBytes(d, tag, 3) == 3 && !std::memcmp(tag, "ID3", 3) && ReadBytes(d, tag + 3, 7) == 7) {
    tagLength = (uint32_t{tag[6]} << 21) + (uint32_t{tag[7]} << 14) + (uint32_t{tag[8]} << 7) + tag[9] + 10;
    if (tag[3] == 4 && (tag[5] & 0x10)) tagLength += 10;
  }
  uint32_t tail = 0;
  if (size > 128 && Seek(d, static_cast<int64_t>(size) - 128, 0) == 0 && ReadBytes(d, tag, 3) == 3 &&
      !std::memcmp(tag, "TAG", 3)) {
    tail = 128;
  }
  // The stream begins at its first frame of the rate its frames choose; what comes before is damage, which the
  // codec never sees.
  const media::MpegReadAt read = [d](uint64_t offset, uint8_t* out, size_t bytes) {
    return Seek(d, static_cast<int64_t>(offset), 0) == 0 ? ReadBytes(d, out, bytes) : 0;
  };
  media::MpegStream stream;
  if (!media::FindMpegStream(read, tagLength, size - tail, &stream)) return -1;
  const auto start = static_cast<int32_t>(stream.start);
  // Validation: the frame headers from the stream's start on must be sound. A broken one is taken for damage,
  // which the codec skips, and the walk looks on from the byte after its first; but a stream that holds more
  // broken headers than damage explains is no MPEG audio.
  Seek(d, start, 0);
  int32_t at = 0;
  uint8_t bytes[4];
  media::MpegHeader frame;
  int sound = 0, broken = 0;
  while (FindFrame(d, &at, bytes)) {
    if (!media::ReadMpegHeader(bytes, sizeof bytes, &frame)) {
      ++broken;
      if (Seek(d, static_cast<int64_t>(at) + 1, 0) != 0) break;
      continue;
    }
    ++sound;
    const int64_t next = static_cast<int64_t>(at) + static_cast<int64_t>(frame.length);
    if (next >= static_cast<int64_t>(size - tail) || Seek(d, next, 0) != 0) break;
  }
  if (broken > sound / kSoundHeadersPerBroken) return -1;
  const media::MpegHeader& h = stream.header;
  auto* format = static_cast<MPEGLAYER3WAVEFORMAT*>(MemAllocZeroed(sizeof(MPEGLAYER3WAVEFORMAT)));
  if (!format) return -1;
  format->wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  format->wfx.nChannels = static_cast<WORD>(h.channels);
  format->wfx.nSamplesPerSec = static_cast<DWORD>(h.rate);
  format->wfx.nAvgBytesPerSec = h.bitrate / 8;
  format->wfx.nBlockAlign = 1;
  format->wfx.cbSize = 12;
  format->wID = MPEGLAYER3_ID_MPEG;
  format->fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
  format->nBlockSize = static_cast<WORD>(h.length + 4);
  format->nFramesPerBlock = 1;
  format->nCodecDelay = 1393;
  d->dataPosition = static_cast<uint32_t>(start);
  d->dataSize = size - tail - static_cast<uint32_t>(start);
  Seek(d, start, 0);
  d->acmSourceFormat = &format->wfx;
  return SetupAcmStream(d);
}

// ---- block readers: 0 with new ready bytes (possibly none), -1 at the end of the data ----
int64_t Consumed(SoundDecoder* d) { return static_cast<int64_t>(Tell(d)) - d->dataPosition; }

int PcmDecoderReadBlock(SoundDecoder* d) {
  const int64_t consumed = Consumed(d);
  if (consumed >= d->dataSize || consumed < 0) return -1;
  const size_t want = static_cast<size_t>(std::min<int64_t>(d->dataSize - consumed, d->outputBufferSize));
  const size_t got = ReadBytes(d, d->outputBuffer, want);
  if (got == 0) return -1;
  d->readyBytes = static_cast<int32_t>(got);
  return 0;
}

int AcmDecoderReadBlock(SoundDecoder* d) {
  bool sourceLeft = true;
  size_t got = 0;
  if (d->acmSourceFill < d->acmSourceBlockSize) {
    const int64_t consumed = Consumed(d);
    if (consumed >= d->dataSize && d->acmSourceFill == 0) return -1;
    int64_t want = std::min<int64_t>(d->dataSize - consumed, d->acmSourceBlockSize - d->acmSourceFill);
    got = want > 0 ? ReadBytes(d, d->acmSourceBuffer + d->acmSourceFill, static_cast<size_t>(want)) : 0;
    d->acmSourceFill += static_cast<int32_t>(got);
    sourceLeft = got > 0 && consumed + static_cast<int64_t>(got) < d->dataSize;
    if (d->acmSourceFill == 0) return -1;
  }
  ACMSTREAMHEADER header{};
  header.cbStruct = sizeof header;
  header.pbSrc = d->acmSourceBuffer;
  header.cbSrcLength = static_cast<DWORD>(d->acmSourceFill);
  header.pbDst = d->outputBuffer;
  header.cbDstLength = static_cast<DWORD>(d->outputBufferSize);
  if (acmStreamPrepareHeader(d->acmStream, &header, 0) != 0) return -1;
  // Whole blocks while source remains; the last rest is converted as far as it goes.
  acmStreamConvert(d->acmStream, &header, sourceLeft ? ACM_STREAMCONVERTF_BLOCKALIGN : 0);
  d->readyBytes = static_cast<int32_t>(header.cbDstLengthUsed);
  const int32_t used = static_cast<int32_t>(std::min<DWORD>(header.cbSrcLengthUsed, header.cbSrcLength));
  acmStreamUnprepareHeader(d->acmStream, &header, 0);
  d->acmSourceFill -= used;
  std::memmove(d->acmSourceBuffer, d->acmSourceBuffer + used, static_cast<size_t>(d->acmSourceFill));
  // A step that gives nothing ends the data when no source is left, and also when it took nothing in: the codec
  // would be asked the same again for ever.
  if (d->readyBytes == 0 && (!sourceLeft || (used == 0 && got == 0))) {
    d->acmSourceFill = 0;
    return -1;
  }
  return 0;
}

int OggDecoderReadBlock(SoundDecoder* d) {
  const int word = d->outputBytesPerSample;
  // A hole (a gap after a damaged page) is read past a bounded number of times; other errors end the data.
  for (int attempt = 0; attempt < 64; ++attempt) {
    int section = 0;
    const long got = ov_read(&d->vorbis, reinterpret_cast<char*>(d->outputBuffer), d->outputBufferSize, 0, word,
                             word == 1 ? 0 : 1, &section);
    if (got > 0) {
      d->readyBytes = static_cast<int32_t>(got);
      return 0;
    }
    if (got != OV_HOLE) return -1;
  }
  return -1;
}

int ReadBlock(SoundDecoder* d) {
  switch (d->kind) {
    case kDecoderPcm: return PcmDecoderReadBlock(d);
    case kDecoderAcm: return AcmDecoderReadBlock(d);
    default: return OggDecoderReadBlock(d);
  }
}

void ReleaseKind(SoundDecoder* d) {
  if (d->kind == kDecoderAcm) ReleaseAcm(d);
  if (d->kind == kDecoderOgg && d->vorbisOpen) {
    ov_clear(&d->vorbis);
    d->vorbisOpen = 0;
  }
}

void AcmDecoderSeek(SoundDecoder* d, int64_t target) {
  if (target < d->outputPosition) {
    acmStreamClose(d->acmStream, 0);
    d->acmStream = nullptr;
    if (acmStreamOpen(&d->acmStream, nullptr, d->acmSourceFormat, &d->outputFormat, nullptr, 0, 0,
                      ACM_STREAMOPENF_NONREALTIME) != 0) {
      d->acmStream = nullptr;
    }
    Seek(d, d->dataPosition, 0);
    d->acmSourceFill = 0;
    d->readyBytes = d->readOffset = d->outputPosition = 0;
  }
  while (target > static_cast<int64_t>(d->outputPosition) + d->readyBytes) {
    d->outputPosition += d->readyBytes;
    d->readyBytes = d->readOffset = 0;
    if (!d->acmStream || AcmDecoderReadBlock(d) < 0) {
      d->endFlag = 1;
      d->readyBytes = 0;
      return;
    }
  }
  const int32_t step = static_cast<int32_t>(target - d->outputPosition);
  d->readOffset += step;
  d->readyBytes -= step;
  d->outputPosition = static_cast<int32_t>(target);
}

}  // namespace

int AlignToFormatBlock(int bytes, const WAVEFORMATEX* format) {
  return format->nBlockAlign ? bytes / format->nBlockAlign * format->nBlockAlign : 0;
}

int SoundDecoderOpen(const StreamSource* source, SoundDecoder* decoder) {
  std::memset(decoder, 0, sizeof *decoder);
  decoder->source = *source;
  int (*const setups[])(SoundDecoder*) = {SetupPcmWave, SetupAcmWave, SetupOggVorbis, SetupMpegAudio};
  bool found = false;
  for (auto setup : setups) {
    Seek(decoder, 0, 0);
    if (setup(decoder) == 0) {
      found = true;
      break;
    }
  }
  if (!found) return -1;
  decoder->openFlag = decoder->endFlag = 0;
  decoder->outputBuffer = static_cast<uint8_t*>(MemAlloc(decoder->outputBufferSize));
  if (!decoder->outputBuffer || decoder->outputBufferSize <= 0) {
    MemFree(decoder->outputBuffer);
    decoder->outputBuffer = nullptr;
    ReleaseKind(decoder);
    return -1;
  }
  decoder->readyBytes = decoder->readOffset = decoder->outputPosition = 0;
  decoder->openFlag = 1;
  return 0;
}

int SoundDecoderRead(SoundDecoder* decoder, void* buffer, int bytes) {
  if (!decoder->openFlag) return -1;
  if (decoder->endFlag) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  int delivered = 0;
  while (delivered < bytes) {
    if (decoder->readyBytes == 0) {
      decoder->readOffset = 0;
      if (ReadBlock(decoder) < 0) break;
    }
    const int n = std::min(bytes - delivered, decoder->readyBytes);
    std::memcpy(out + delivered, decoder->outputBuffer + decoder->readOffset, static_cast<size_t>(n));
    delivered += n;
    decoder->readOffset += n;
    decoder->outputPosition += n;
    decoder->readyBytes -= n;
  }
  if (delivered < bytes) decoder->endFlag = 1;
  return delivered;
}

int SoundDecoderSeek(SoundDecoder* decoder, int milliseconds) {
  const WAVEFORMATEX& f = decoder->outputFormat;
  const int64_t frames = static_cast<int64_t>(f.nSamplesPerSec) * std::max(milliseconds, 0) / 1000;
  const int64_t target = std::min<int64_t>(frames * f.nBlockAlign, INT32_MAX / 2);
  const int64_t distance = target - decoder->outputPosition;
  if (!decoder->endFlag && distance > -16 && distance < 16) return 0;
  switch (decoder->kind) {
    case kDecoderPcm:
      Seek(decoder, static_cast<int64_t>(decoder->dataPosition) + target, 0);
      decoder->readyBytes = decoder->readOffset = 0;
      decoder->outputPosition = static_cast<int32_t>(target);
      break;
    case kDecoderAcm:
      AcmDecoderSeek(decoder, target);
      break;
    default:
      ov_time_seek(&decoder->vorbis, milliseconds * 0.001);
      decoder->readyBytes = decoder->readOffset = 0;
      decoder->outputPosition = static_cast<int32_t>(target);
      break;
  }
  decoder->endFlag = 0;
  return 0;
}

int SoundDecoderGetLength(SoundDecoder* decoder) {
  switch (decoder->kind) {
    case kDecoderPcm:
      return static_cast<int>(std::min<uint32_t>(decoder->dataSize, INT32_MAX));
    case kDecoderAcm: {
      DWORD bytes = 0;
      if (!decoder->acmStream ||
          acmStreamSize(decoder->acmStream, decoder->dataSize, &bytes, ACM_STREAMSIZEF_SOURCE) != 0) {
        return 0;
      }
      return static_cast<int>(std::min<DWORD>(bytes, INT32_MAX));
    }
    default: {
      const int64_t total = static_cast<int64_t>(ov_pcm_total(&decoder->vorbis, -1)) *
                            decoder->outputFormat.nChannels * decoder->outputBytesPerSample;
      return static_cast<int>(std::clamp<int64_t>(total, 0, INT32_MAX));
    }
  }
}

int SoundDecoderGetFormat(SoundDecoder* decoder, WAVEFORMATEX* format) {
  *format = decoder->outputFormat;
  return 0;
}

int SoundDecoderClose(SoundDecoder* decoder) {
  if (!decoder->openFlag) return -1;
  MemFree(decoder->outputBuffer);
  decoder->outputBuffer = nullptr;
  ReleaseKind(decoder);
  decoder->openFlag = 0;
  return 0;
}

int DecodeSoundToMemory(SoundDecoder* decoder, WAVEFORMATEX* format, void** block, int* size) {
  const int length = SoundDecoderGetLength(decoder);
  // The lengths of PCM and Ogg are the file's own statement, refused at once when too long; the compressed
  // kinds' estimate (from the first frame's bit rate) may be far off either way.
  if (decoder->kind != kDecoderAcm && length > kLargestDecodedSound) return -1;
  SoundDecoderSeek(decoder, 0);
  uint8_t* data = nullptr;
  int total = 0;
  if (decoder->kind == kDecoderPcm) {
    data = static_cast<uint8_t*>(MemAlloc(std::max(length, 1)));
    if (!data) return -1;
    if (length > 0 && decoder->source.functions.read(data, static_cast<size_t>(length), 1, decoder->source.handle) != 1) {
      MemFree(data);
      return -1;
    }
    total = length;
  } else {
    // The length is an estimate (or a claim of the file): the block grows with what really comes out, up to
    // the bound; one byte more than that refuses the sound.
    int capacity = std::clamp(length, 4096, 16 << 20);
    data = static_cast<uint8_t*>(MemAlloc(capacity));
    while (data) {
      const int got = SoundDecoderRead(decoder, data + total, capacity - total);
      if (got <= 0) break;
      total += got;
      if (total < capacity) continue;
      uint8_t more;
      if (capacity >= kLargestDecodedSound) {
        if (SoundDecoderRead(decoder, &more, 1) <= 0) break;
        MemFree(data);
        return -1;
      }
      const int larger = std::min(capacity * 2, kLargestDecodedSound);
      auto* bigger = static_cast<uint8_t*>(MemAlloc(larger));
      if (bigger) std::memcpy(bigger, data, static_cast<size_t>(total));
      MemFree(data);
      data = bigger;
      capacity = larger;
    }
    if (!data) return -1;
  }
  *format = decoder->outputFormat;
  *block = data;
  *size = total;
  return 0;
}

int BuildWaveImage(void** image, int* imageSize, const void* format, int formatSize, const void* data, int dataSize) {
  if (formatSize < 0 || dataSize < 0 || static_cast<int64_t>(formatSize) + dataSize + 28 > INT32_MAX) return -1;
  const int total = 28 + formatSize + dataSize;
  auto* out = static_cast<uint8_t*>(MemAlloc(total));
  if (!out) return -1;
  auto put32 = [](uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); };
  std::memcpy(out, "RIFF", 4);
  put32(out + 4, static_cast<uint32_t>(formatSize + dataSize + 20));
  std::memcpy(out + 8, "WAVEfmt ", 8);
  put32(out + 16, static_cast<uint32_t>(formatSize));
  std::memcpy(out + 20, format, static_cast<size_t>(formatSize));
  std::memcpy(out + 20 + formatSize, "data", 4);
  put32(out + 24 + formatSize, static_cast<uint32_t>(dataSize));
  if (dataSize) std::memcpy(out + 28 + formatSize, data, static_cast<size_t>(dataSize));
  *image = out;
  *imageSize = total;
  return 0;
}

int ReadStreamToMemory(const StreamSource* source, void** block, int* size) {
  const StreamSourceFunctions& f = source->functions;
  f.seek(source->handle, 0, 2);
  const int32_t length = std::max(f.tell(source->handle), 0);
  f.seek(source->handle, 0, 0);
  void* data = MemAlloc(std::max(length, 1));
  if (!data) return AppLogWriteFormat("ストリームの読み込みに必要なメモリの確保に失敗しました");
  if (length > 0 && f.read(data, static_cast<size_t>(length), 1, source->handle) != 1) {
    MemFree(data);
    return -1;
  }
  *block = data;
  *size = length;
  return 0;
}

size_t OggReadCallback(void* buffer, size_t size, size_t count, void* dataSource) {
  if (!dataSource) return static_cast<size_t>(-1);
  auto* s = static_cast<StreamSource*>(dataSource);
  return s->functions.read(buffer, size, count, s->handle);
}

int OggSeekCallback(void* dataSource, ogg_int64_t offset, int origin) {
  if (!dataSource) return -1;
  auto* s = static_cast<StreamSource*>(dataSource);
  return s->functions.seek(s->handle, static_cast<int32_t>(offset), origin);
}

int OggCloseCallback(void* dataSource) { return dataSource ? 0 : -1; }

long OggTellCallback(void* dataSource) {
  if (!dataSource) return -1;
  auto* s = static_cast<StreamSource*>(dataSource);
  return s->functions.tell(s->handle);
}
