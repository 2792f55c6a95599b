// Sound decoders: a readable stream of a sound file, recognised by its content (PCM WAV, compressed WAV through
// the audio compression manager, Ogg Vorbis, raw MPEG audio), delivered as PCM in blocks, seekable by time.
#pragma once
#include <vorbis/vorbisfile.h>

#include <cstdint>

#include "core/file_access.h"
#include "platform/media/acm.h"
#include "platform/win32/mmreg.h"

using StreamSource = StreamSourceData;

struct SoundDecoder {
  int32_t openFlag;
  int32_t endFlag;
  int32_t kind;  // 0 PCM WAV, 1 ACM (compressed WAV and MPEG audio), 2 Ogg Vorbis
  StreamSource source;
  uint32_t dataPosition;
  uint32_t dataSize;
  WAVEFORMATEX outputFormat;
  int32_t vorbisOpen;
  OggVorbis_File vorbis;
  int32_t outputBytesPerSample;
  WAVEFORMATEX* acmSourceFormat;
  HACMSTREAM acmStream;
  uint8_t* acmSourceBuffer;
  int32_t acmSourceBlockSize;
  int32_t acmSourceFill;
  uint8_t* outputBuffer;
  int32_t outputBufferSize;
  int32_t readyBytes;
  int32_t readOffset;
  int32_t outputPosition;
};

constexpr int32_t kDecoderPcm = 0;
constexpr int32_t kDecoderAcm = 1;
constexpr int32_t kDecoderOgg = 2;

// Detects the file's kind and sets the decoder up over a copy of the source; 0 or -1.
int SoundDecoderOpen(const StreamSource* source, SoundDecoder* decoder);
// Bytes delivered into buffer (fewer at the end, which sets the end flag); 0 once ended; -1 when not open.
int SoundDecoderRead(SoundDecoder* decoder, void* buffer, int bytes);
// Moves to a time in milliseconds; 0.
int SoundDecoderSeek(SoundDecoder* decoder, int milliseconds);
// Total output bytes (for compressed WAV and MPEG audio an estimate).
int SoundDecoderGetLength(SoundDecoder* decoder);
// Copies the output format (18 bytes); 0.
int SoundDecoderGetFormat(SoundDecoder* decoder, WAVEFORMATEX* format);
// 0, or -1 when not open.
int SoundDecoderClose(SoundDecoder* decoder);
// The most PCM a whole decode hands out: 64 MiB, six minutes and a third of 44,100 Hz 16-bit stereo.
constexpr int kLargestDecodedSound = 64 << 20;

// Decodes everything from the start into a new MemAlloc block; 0 or -1 (also for a sound that decodes to more
// than kLargestDecodedSound bytes, found as the decoding goes).
int DecodeSoundToMemory(SoundDecoder* decoder, WAVEFORMATEX* format, void** block, int* size);
// PCM wrapped into an in-memory RIFF/WAVE file (a new MemAlloc block); 0 or -1.
int BuildWaveImage(void** image, int* imageSize, const void* format, int formatSize, const void* data, int dataSize);
// A whole stream into a new MemAlloc block; 0 or -1 (logged when the block cannot be had).
int ReadStreamToMemory(const StreamSource* source, void** block, int* size);
// Rounds bytes toward zero to whole blocks of the format; 0 for a format without a block size.
int AlignToFormatBlock(int bytes, const WAVEFORMATEX* format);

// The vorbisfile callbacks over a StreamSource.
size_t OggReadCallback(void* buffer, size_t size, size_t count, void* dataSource);
int OggSeekCallback(void* dataSource, ogg_int64_t offset, int origin);
int OggCloseCallback(void* dataSource);
long OggTellCallback(void* dataSource);
