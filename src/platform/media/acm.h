// The audio compression manager on the substitute: format suggestion and conversion streams from compressed
// wave formats to 16-bit PCM. MPEG audio (layers I to III) decodes through libmpg123; MS ADPCM, IMA ADPCM,
// A-law and µ-law through decoders of our own. A format no codec takes is refused with ACMERR_NOTPOSSIBLE.
// Named failures (host::ShouldFail): "acmFormatSuggest", "acmStreamOpen", "acmStreamPrepareHeader" and
// "acmStreamConvert", which then takes and gives nothing.
#pragma once
#include "platform/win32/mmreg.h"
#include "platform/win32/winmm.h"

struct HACMDRIVER__;
struct HACMSTREAM__;
using HACMDRIVER = HACMDRIVER__*;
using HACMSTREAM = HACMSTREAM__*;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
constexpr MMRESULT ACMERR_UNPREPARED = 514;

constexpr DWORD ACM_FORMATSUGGESTF_WFORMATTAG = 0x10000;
constexpr DWORD ACM_STREAMOPENF_NONREALTIME = 0x4;
constexpr DWORD ACM_STREAMSIZEF_SOURCE = 0x0;
constexpr DWORD ACM_STREAMCONVERTF_BLOCKALIGN = 0x4;
constexpr DWORD ACMSTREAMHEADER_STATUSF_PREPARED = 0x20000;

struct ACMSTREAMHEADER {
  DWORD cbStruct;
  DWORD fdwStatus;
  DWORD_PTR dwUser;
  BYTE* pbSrc;
  DWORD cbSrcLength;
  DWORD cbSrcLengthUsed;
  DWORD_PTR dwSrcUser;
  BYTE* pbDst;
  DWORD cbDstLength;
  DWORD cbDstLengthUsed;
  DWORD_PTR dwDstUser;
  DWORD dwReservedDriver[10];
};

// Fills the PCM format a codec would turn `source` into (16-bit, the source's channels and rate), given a
// destination of at least 18 bytes whose wFormatTag is 1 under ACM_FORMATSUGGESTF_WFORMATTAG.
MMRESULT acmFormatSuggest(HACMDRIVER driver, WAVEFORMATEX* source, WAVEFORMATEX* destination, DWORD size,
                          DWORD flags);
MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, WAVEFORMATEX* source, WAVEFORMATEX* destination,
                       void* filter, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
MMRESULT acmStreamClose(HACMSTREAM stream, DWORD flags);
// With ACM_STREAMSIZEF_SOURCE: the PCM bytes that `input` source bytes give (an estimate for MPEG audio).
MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags);
MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
// Converts from pbSrc into pbDst. With ACM_STREAMCONVERTF_BLOCKALIGN only whole source blocks are taken;
// without it a last partial block is decoded as far as it goes.
MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, DWORD flags);
