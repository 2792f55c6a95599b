// The audio compression manager's calls over the codecs: formats are checked once at suggestion and opening;
// a stream keeps its codec and its formats until it is closed.
#include "platform/media/acm.h"

#include <cstring>
#include <memory>
#include <vector>

#include "platform/host/platform.h"
#include "platform/media/acm_codecs.h"

struct HACMSTREAM__ {
  std::unique_ptr<media::AcmCodec> codec;
  WAVEFORMATEX destination;
};

namespace {

// The source format with its extra bytes, copied so the codec may read them.
std::vector<uint8_t> CopyFormat(const WAVEFORMATEX* source) {
  const size_t size = sizeof(WAVEFORMATEX) + source->cbSize;
  std::vector<uint8_t> copy(size);
  std::memcpy(copy.data(), source, size);
  return copy;
}

std::unique_ptr<media::AcmCodec> CodecFor(const WAVEFORMATEX* source) {
  if (!source || source->wFormatTag == WAVE_FORMAT_PCM) return nullptr;
  std::vector<uint8_t> copy = CopyFormat(source);
  return media::MakeAcmCodec(*reinterpret_cast<const WAVEFORMATEX*>(copy.data()));
}

WAVEFORMATEX PcmFor(const WAVEFORMATEX& source) {
  WAVEFORMATEX pcm{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  pcm.nChannels = source.nChannels;
  pcm.nSamplesPerSec = source.nSamplesPerSec;
  pcm.wBitsPerSample = 16;
  pcm.nBlockAlign = static_cast<WORD>(source.nChannels * 2);
  pcm.nAvgBytesPerSec = pcm.nBlockAlign * source.nSamplesPerSec;
  pcm.cbSize = 0;
  return pcm;
}

bool SamePcm(const WAVEFORMATEX& a, const WAVEFORMATEX& b) {
  return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec &&
         a.wBitsPerSample == b.wBitsPerSample && a.nBlockAlign == b.nBlockAlign;
}

}  // namespace

MMRESULT acmFormatSuggest(HACMDRIVER, WAVEFORMATEX* source, WAVEFORMATEX* destination, DWORD size, DWORD flags) {
  if (!source || !destination || size < sizeof(WAVEFORMATEX)) return MMSYSERR_INVALPARAM;
  if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && destination->wFormatTag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
  if (host::ShouldFail("acmFormatSuggest") || !CodecFor(source)) return ACMERR_NOTPOSSIBLE;
  *destination = PcmFor(*source);
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER, WAVEFORMATEX* source, WAVEFORMATEX* destination, void*,
                       DWORD_PTR, DWORD_PTR, DWORD) {
  if (!stream || !source || !destination) return MMSYSERR_INVALPARAM;
  *stream = nullptr;
  if (host::ShouldFail("acmStreamOpen")) return ACMERR_NOTPOSSIBLE;
  auto codec = CodecFor(source);
  if (!codec || !SamePcm(*destination, PcmFor(*source))) return ACMERR_NOTPOSSIBLE;
  *stream = new HACMSTREAM__{std::move(codec), *destination};
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, DWORD) {
  if (!stream) return MMSYSERR_INVALHANDLE;
  delete stream;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags) {
  if (!stream) return MMSYSERR_INVALHANDLE;
  if (!output) return MMSYSERR_INVALPARAM;
  if (flags != ACM_STREAMSIZEF_SOURCE) return MMSYSERR_INVALFLAG;
  const uint64_t bytes = stream->codec->OutputFor(input);
  if (bytes == 0 || bytes > 0xFFFFFFFFu) return ACMERR_NOTPOSSIBLE;
  *output = static_cast<DWORD>(bytes);
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD) {
  if (!stream) return MMSYSERR_INVALHANDLE;
  if (!header || header->cbStruct < sizeof(ACMSTREAMHEADER) || !header->pbSrc || !header->pbDst) {
    return MMSYSERR_INVALPARAM;
  }
  if (host::ShouldFail("acmStreamPrepareHeader")) return MMSYSERR_NOMEM;
  header->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD) {
  if (!stream) return MMSYSERR_INVALHANDLE;
  if (!header) return MMSYSERR_INVALPARAM;
  if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags) {
  if (!stream) return MMSYSERR_INVALHANDLE;
  if (!header) return MMSYSERR_INVALPARAM;
  if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  if (host::ShouldFail("acmStreamConvert")) {
    header->cbSrcLengthUsed = header->cbDstLengthUsed = 0;
    return ACMERR_NOTPOSSIBLE;
  }
  size_t used = 0;
  const size_t written = stream->codec->Convert(header->pbSrc, header->cbSrcLength, &used, header->pbDst,
                                                header->cbDstLength, (flags & ACM_STREAMCONVERTF_BLOCKALIGN) == 0);
  header->cbSrcLengthUsed = static_cast<DWORD>(used);
  header->cbDstLengthUsed = static_cast<DWORD>(written);
  return MMSYSERR_NOERROR;
}
