// Stream sounds: parts appended from files, file images or the caller's stream; the ring prepared four seconds
// ahead, topped up from the pump while the play cursor lies in the refill span; parts followed by their repeats
// and by the next part, looping back to part 0 for style 3 and ending in silence otherwise.
#include "sound/stream_sound.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "core/message_pump.h"
#include "sound/sound_system.h"

namespace {

SoundEntry* StreamEntry(int handle) {
  SoundEntry* entry = FindSoundEntry(handle);
  return entry && entry->streamFlag == 1 && entry->buffers[0] ? entry : nullptr;
}

// Tracking and refilling act only on these; any other sound is left as it is, with 0.
bool IsPreparedStream(const SoundEntry* entry) {
  return entry->streamFlag == 1 && entry->buffers[0] && entry->stream.preparedFlag;
}

bool BufferPlays(SoundEntry* entry) {
  DWORD status = 0;
  return entry->buffers[0] && entry->buffers[0]->GetStatus(&status) == S_OK && (status & DSBSTATUS_PLAYING);
}

StreamSource BufferSource(BufferStreamRecord* record) {
  return StreamSource{*GetBufferStreamFunctions(), reinterpret_cast<FileHandle>(record)};
}

void CloseSource(StreamSource& source) {
  if (source.handle) source.functions.close(source.handle);
  source.handle = 0;
}

// Back to the start of part 0, unprepared.
void GoBackToBeginning(StreamState& s) {
  s.endedFlag = 0;
  s.partPosition = 0;
  s.playedBytes = 0;
  s.loopRestartPending = 0;
  s.repeatsDone = 0;
  s.currentPart = 0;
  s.preparedFlag = 0;
}

void SeekPart(SoundEntry* entry, StreamPart& part, int64_t bytes) {
  const uint32_t perSecond = std::max<uint32_t>(entry->waveFormat.nAvgBytesPerSec, 1);
  SoundDecoderSeek(&part.decoder, static_cast<int>(std::min<int64_t>(bytes * 1000 / perSecond, INT32_MAX)));
}

// The ring offset where the next byte of the lock will be written.
int32_t NextWriteOffset(const StreamLockInfo& lock) {
  return lock.left[0] > 0 ? lock.lockOffset + lock.used[0] : lock.used[1];
}

// A freshly read part: its own stream over its block and its decoder on that stream; false (everything closed)
// when the decoder does not open.
bool OpenOwnPart(StreamPart& part) {
  BufferStreamRecord* record = OpenBufferStream(part.dataBlock, static_cast<int32_t>(part.dataSize));
  if (record) {
    part.ownStream = BufferSource(record);
    if (SoundDecoderOpen(&part.ownStream, &part.decoder) == 0) return true;
    CloseSource(part.ownStream);
  }
  MemFree(part.dataBlock);
  part.dataBlock = nullptr;
  AppLogWriteFormat("音声データのオープンに失敗しました");
  return false;
}

// Mode 0: the whole source decoded to PCM and wrapped into a wave image.
bool ReadDecodedPart(const StreamSource* source, StreamPart& part) {
  void* image = nullptr;
  int size = 0;
  if (ReadStreamToMemory(source, &image, &size) != 0) {
    AppLogWriteFormat("音声データの読み込みに失敗しました");
    return false;
  }
  BufferStreamRecord* record = OpenBufferStream(image, size);
  auto* decoder = static_cast<SoundDecoder*>(MemAllocZeroed(sizeof(SoundDecoder)));
  WAVEFORMATEX format{};
  void* pcm = nullptr;
  int pcmSize = 0;
  bool decoded = false;
  if (record && decoder) {
    const StreamSource temporary = BufferSource(record);
    if (SoundDecoderOpen(&temporary, decoder) == 0) {
      decoded = DecodeSoundToMemory(decoder, &format, &pcm, &pcmSize) == 0;
      SoundDecoderClose(decoder);
    }
  }
  MemFree(decoder);
  if (record) CloseBufferStream(reinterpret_cast<FileHandle>(record));
  MemFree(image);
  if (!decoded) {
    AppLogWriteFormat("音声データの変換に失敗しました");
    return false;
  }
  void* wave = nullptr;
  int waveSize = 0;
  const int built = BuildWaveImage(&wave, &waveSize, &format, sizeof format, pcm, pcmSize);
  MemFree(pcm);
  if (built != 0) {
    AppLogWriteFormat("音声データの変換に失敗しました");
    return false;
  }
  part.dataBlock = wave;
  part.dataSize = static_cast<uint32_t>(waveSize);
  return OpenOwnPart(part);
}

// Mode 2: the whole source read, still compressed.
bool ReadImagePart(const StreamSource* source, StreamPart& part) {
  int size = 0;
  if (ReadStreamToMemory(source, &part.dataBlock, &size) != 0) {
    AppLogWriteFormat("音声データの読み込みに失敗しました");
    return false;
  }
  part.dataSize = static_cast<uint32_t>(size);
  return OpenOwnPart(part);
}

void ClosePart(StreamPart& part) {
  if (part.decoder.openFlag) SoundDecoderClose(&part.decoder);
  CloseSource(part.ownStream);
  MemFree(part.dataBlock);
  part.dataBlock = nullptr;
}

bool InRefillSpan(const StreamState& s, int32_t cursor) {
  if (s.refillPoint > s.writePosition) return !(s.writePosition < cursor && cursor < s.refillPoint);
  return s.refillPoint <= cursor && cursor <= s.writePosition;
}

}  // namespace

int AddSreamSound(const StreamSource* source, int repeats, int handle, int partMode, int* owns) {
  SoundEntry* entry = FindSoundEntry(handle);
  if (!entry) return -1;
  StreamState& s = entry->stream;
  if (s.partCount > 0 || entry->bufferCount > 0) {
    if (entry->streamFlag == 0) {
      return AppLogWrite("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\n");
    }
    if (BufferPlays(entry)) return AppLogWrite("既に再生中のストリームサウンドデータにデータを追加しようとしました\n");
    if (s.partCount >= 3) return AppLogWrite("ストリーム風サウンドの制御データ領域がいっぱいです\n");
  }
  if (partMode != 0 && partMode != 2 && partMode != 3) {
    return AppLogWrite("ストリーム風サウンドのデータ形式が不正です in AddSreamSound\n");
  }
  StreamPart& part = s.parts[s.partCount];
  std::memset(&part, 0, sizeof part);
  part.partMode = partMode;
  source->functions.seek(source->handle, 0, 0);
  if (partMode == 0) {
    if (!ReadDecodedPart(source, part)) return -1;
    *owns = 1;
  } else if (partMode == 2) {
    if (!ReadImagePart(source, part)) return -1;
    *owns = 1;
  } else {
    if (SoundDecoderOpen(source, &part.decoder) != 0) return AppLogWriteFormat("音声データのオープンに失敗しました");
    *owns = 0;
  }
  if (s.partCount == 0) {
    entry->waveFormat = part.decoder.outputFormat;
    CreateSoundBuffers(&entry->waveFormat, 0, 1, 1, handle);
    s.ringSize = static_cast<int32_t>(entry->waveFormat.nAvgBytesPerSec * 6);
  } else if (std::memcmp(&part.decoder.outputFormat, &entry->waveFormat, sizeof(WAVEFORMATEX)) != 0) {
    ClosePart(part);
    return AppLogWriteFormat("フォーマットの違う音声データは同時に使うことは出来ません");
  }
  part.repeats = static_cast<int8_t>(repeats);
  s.partCount++;
  return 0;
}

int AppendFileToStreamSound(const char* path, int repeats, int handle, int partMode) {
  FileHandle file = FileAccessOpen(path, 0, 1);
  if (!file) return AppLogWriteFormat("右記のＷＡＶファイルのロードに失敗しました：%s \n", path);
  const StreamSource source{*GetFileStreamFunctions(), file};
  int owns = 0;
  if (AddSreamSound(&source, repeats, handle, partMode, &owns) < 0) {
    FileAccessClose(file);
    return AppLogWriteFormat("右記のＷＡＶファイルのセットアップに失敗しました：%s \n", path);
  }
  if (owns == 1) FileAccessClose(file);
  SoundEntry* entry = FindSoundEntry(handle);
  entry->stream.ownedStreams[entry->stream.partCount - 1] = 1;
  return 0;
}

int AppendMemImageToStreamSound(const void* image, int size, int repeats, int handle, int partMode) {
  if (partMode == 3) partMode = 2;
  BufferStreamRecord* record = OpenBufferStream(image, size);
  if (!record) return AppLogWriteFormat("ＷＡＶファイルのストリームイメージハンドルの作成に失敗しました \n");
  const StreamSource source = BufferSource(record);
  int owns = 0;
  if (AddSreamSound(&source, repeats, handle, partMode, &owns) < 0) {
    CloseBufferStream(reinterpret_cast<FileHandle>(record));
    return AppLogWriteFormat("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n");
  }
  if (owns == 1) CloseBufferStream(reinterpret_cast<FileHandle>(record));
  SoundEntry* entry = FindSoundEntry(handle);
  entry->stream.ownedStreams[entry->stream.partCount - 1] = 1;
  return 0;
}

int StreamPrepare(int handle) {
  SoundEntry* entry = FindSoundEntry(handle);
  if (!entry) return -1;
  StreamState& s = entry->stream;
  if (entry->streamFlag != 1 || !entry->buffers[0] || BufferPlays(entry) || s.preparedFlag) return 0;
  entry->buffers[0]->SetCurrentPosition(0);
  s.writePosition = -800;
  s.refillPoint = -1;
  s.dataEndFlag = 0;
  s.lastPlayCursor = 0;
  if (s.currentPart >= s.partCount) GoBackToBeginning(s);
  if (s.partCount > 0) SeekPart(entry, s.parts[s.currentPart], s.partPosition);
  s.preparedFlag = 1;
  StreamRefill(handle);
  return 0;
}

int StreamPlay(int handle, int style, int restart) {
  SoundEntry* entry = StreamEntry(handle);
  if (!entry) return -1;
  StreamState& s = entry->stream;
  if (restart == 0 && BufferPlays(entry)) return 0;
  StreamStop(handle);
  // A finished stream, or one switched into or out of looping after it finished, starts again from part 0.
  if (s.endedFlag && (((style ^ s.playbackStyle) & 2) || s.currentPart >= s.partCount)) GoBackToBeginning(s);
  if (restart == 1) {
    s.endedFlag = 0;
    if (s.playedBytes > 0) GoBackToBeginning(s);
  }
  s.playbackStyle = static_cast<uint8_t>(style);
  StreamPrepare(handle);
  if (entry->buffers[0]->Play(0, 0, DSBPLAY_LOOPING) != S_OK) return -1;
  if (style == 0) {
    while (PumpWaitStep() == 0 && QuerySoundPlaying(handle) == 1) {
    }
  }
  return 0;
}

int StreamStop(int handle) {
  SoundEntry* entry = StreamEntry(handle);
  if (!entry) return -1;
  DWORD cursor = 0, status = 0;
  entry->buffers[0]->GetCurrentPosition(&cursor, nullptr);
  StreamTrackPosition(handle, static_cast<int>(cursor));
  if (entry->buffers[0]->GetStatus(&status) != S_OK) return -1;
  if (status & DSBSTATUS_PLAYING) entry->buffers[0]->Stop();
  return 0;
}

int StreamQueryPlaying(int handle) {
  SoundEntry* entry = StreamEntry(handle);
  if (!entry) return -1;
  DWORD status = 0;
  if (entry->buffers[0]->GetStatus(&status) != S_OK) return -1;
  return (status & DSBSTATUS_PLAYING) ? 1 : 0;
}

int StreamTrackPosition(int handle, int cursor) {
  SoundEntry* entry = FindSoundEntry(handle);
  if (!entry) return -1;
  if (!IsPreparedStream(entry)) return 0;
  StreamState& s = entry->stream;
  if (cursor == -1) {
    DWORD play = 0;
    if (entry->buffers[0]->GetCurrentPosition(&play, nullptr) != S_OK) return -1;
    cursor = static_cast<int>(play);
  }
  const int32_t last = s.lastPlayCursor, restartAt = s.loopRestartPosition;
  if (cursor == last) return 0;
  const bool wrapped = cursor <= last;
  const bool passed = wrapped ? (restartAt > last || restartAt < cursor) : (last < restartAt && restartAt <= cursor);
  if (s.loopRestartPending && passed) {
    s.playedBytes = (wrapped && restartAt > last) ? s.ringSize - restartAt + cursor : cursor - restartAt;
    s.loopRestartPending = 0;
  } else {
    s.playedBytes += wrapped ? s.ringSize - last + cursor : cursor - last;
  }
  s.lastPlayCursor = cursor;
  return 0;
}

int StreamReadParts(StreamLockInfo* lock, SoundDecoder* decoder, int bytes) {
  int total = 0;
  while (bytes > 0) {
    const int region = lock->left[0] > 0 ? 0 : (lock->left[1] > 0 ? 1 : -1);
    if (region < 0) break;
    const int got = SoundDecoderRead(decoder, lock->regions[region] + lock->used[region], std::min(bytes, lock->left[region]));
    if (got <= 0) break;
    lock->used[region] += got;
    lock->left[region] -= got;
    bytes -= got;
    total += got;
  }
  return total;
}

int StreamFillSilence(SoundEntry* entry, StreamLockInfo* lock, int bytes) {
  const int value = entry->waveFormat.wBitsPerSample == 8 ? 127 : 0;
  for (int region = 0; region < 2 && bytes > 0; ++region) {
    const int n = std::min(bytes, lock->left[region]);
    if (n <= 0) continue;
    std::memset(lock->regions[region] + lock->used[region], value, static_cast<size_t>(n));
    lock->used[region] += n;
    lock->left[region] -= n;
    bytes -= n;
  }
  return 0;
}

int StreamNextPart(SoundEntry* entry, StreamLockInfo* lock, int cursor) {
  StreamState& s = entry->stream;
  s.repeatsDone++;
  bool repeat = s.parts[s.currentPart].repeats == -1 || s.parts[s.currentPart].repeats >= s.repeatsDone;
  if (!repeat) {
    s.repeatsDone = 0;
    s.currentPart++;
    if (s.currentPart >= s.partCount) {
      s.endedFlag = 1;
      if (s.playbackStyle == 3) {
        s.currentPart = 0;
        s.loopRestartPending = 1;
        s.loopRestartPosition = NextWriteOffset(*lock);
      } else {
        s.dataEndFlag = 1;
        s.endPosition = NextWriteOffset(*lock);
        s.endCursor = cursor;
        StreamFillSilence(entry, lock, AlignToBlock(static_cast<int>(entry->waveFormat.nAvgBytesPerSec / 8), entry));
        return -1;
      }
    }
  }
  StreamPart& part = s.parts[s.currentPart];
  const WAVEFORMATEX& f = entry->waveFormat;
  s.partPosition = repeat ? static_cast<int32_t>(f.nSamplesPerSec * part.repeatStart * 0.001) * f.nBlockAlign : 0;
  SeekPart(entry, part, s.partPosition);
  return 0;
}

int StreamRefill(int handle) {
  SoundEntry* entry = FindSoundEntry(handle);
  if (!entry) return -1;
  if (!IsPreparedStream(entry)) return 0;
  StreamState& s = entry->stream;
  IDirectSoundBuffer* buffer = entry->buffers[0];
  DWORD play = 0, status = 0;
  if (buffer->GetCurrentPosition(&play, nullptr) != S_OK || buffer->GetStatus(&status) != S_OK) return -1;
  StreamTrackPosition(handle, static_cast<int>(play));
  const int32_t cursor = static_cast<int32_t>(play);
  const bool playing = (status & DSBSTATUS_PLAYING) != 0;
  const int perSecond = static_cast<int>(entry->waveFormat.nAvgBytesPerSec);
  const bool silenceOnly = s.dataEndFlag != 0;
  bool firstFill = false;
  int bytes = AlignToBlock(perSecond / 8, entry);
  int offset = s.writePosition;
  if (silenceOnly) {
    if (s.endPosition < cursor && (s.endCursor < s.endPosition || cursor < s.endCursor)) {
      buffer->Stop();
      s.dataEndFlag = 0;
      return 0;
    }
    if (!InRefillSpan(s, cursor)) return -1;
  } else if (!playing && s.writePosition == -800) {
    firstFill = true;
    bytes = AlignToBlock(perSecond * 4, entry);
    offset = 0;
  } else if (!playing) {
    return 0;
  } else if (!InRefillSpan(s, cursor)) {
    return -1;
  }
  if (bytes <= 0 || offset < 0) return -1;
  StreamLockInfo lock{};
  void *first = nullptr, *second = nullptr;
  DWORD firstBytes = 0, secondBytes = 0;
  if (buffer->Lock(static_cast<DWORD>(offset), static_cast<DWORD>(bytes), &first, &firstBytes, &second, &secondBytes,
                   0) != S_OK) {
    return -1;
  }
  lock.lockOffset = offset;
  lock.regions[0] = static_cast<uint8_t*>(first);
  lock.regions[1] = static_cast<uint8_t*>(second);
  lock.sizes[0] = lock.left[0] = static_cast<int32_t>(firstBytes);
  lock.sizes[1] = lock.left[1] = static_cast<int32_t>(secondBytes);
  if (silenceOnly) {
    StreamFillSilence(entry, &lock, bytes);
  } else {
    int remaining = bytes;
    int emptyTurns = 0;  // part changes in a row that wrote nothing
    while (remaining > 0 && !s.dataEndFlag) {
      const int got = StreamReadParts(&lock, &s.parts[s.currentPart].decoder, remaining);
      if (got > 0) {
        remaining -= got;
        s.partPosition += got;
        emptyTurns = 0;
        continue;
      }
      // Parts that yield nothing would turn for ever: the rest is silence, and the data ends unless looping.
      if (++emptyTurns > s.partCount + 1) {
        if (s.playbackStyle != 3) {
          s.dataEndFlag = 1;
          s.endPosition = NextWriteOffset(lock);
          s.endCursor = firstFill ? 0 : cursor;
        }
        StreamFillSilence(entry, &lock, remaining);
        break;
      }
      if (StreamNextPart(entry, &lock, firstFill ? 0 : cursor) < 0) break;
    }
  }
  buffer->Unlock(first, firstBytes, second, secondBytes);
  if (firstFill) {
    s.writePosition = perSecond * 4;
    s.refillPoint = 0;
  } else {
    s.writePosition += bytes;
    if (s.writePosition >= s.ringSize) s.writePosition -= s.ringSize;
    s.refillPoint = s.writePosition - perSecond * 4;
    if (s.refillPoint < 0) s.refillPoint += s.ringSize;
  }
  return 0;
}

void ReleaseStreamParts(SoundEntry* entry) {
  StreamState& s = entry->stream;
  for (int i = 0; i < s.partCount; ++i) {
    StreamPart& part = s.parts[i];
    const StreamSource callerSource = part.decoder.source;
    if (part.decoder.openFlag) SoundDecoderClose(&part.decoder);
    MemFree(part.dataBlock);
    part.dataBlock = nullptr;
    if (s.ownedStreams[i] && part.partMode == 3 && callerSource.handle) callerSource.functions.close(callerSource.handle);
    CloseSource(part.ownStream);
  }
  s.partCount = 0;
}

int RefillAllStreamSounds() {
  if (!SoundSystem.directSound) return -1;
  const SoundTable& table = SoundSystem.sounds;
  for (int slot = 0, seen = 0; slot < kSoundSlots && seen < table.count; ++slot) {
    SoundEntry* entry = table.slots[slot];
    if (!entry) continue;
    ++seen;
    if (entry->streamFlag == 1) StreamRefill(MakeHandle(SoundHandle, entry->check, slot));
  }
  return 0;
}
