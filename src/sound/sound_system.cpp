// The sound core: device start and end with its report, the sound handle table, loading a file or a file
// image into duplicate static buffers (or a stream sound), and playing, halting, querying and releasing.
#include "sound/sound_system.h"
#include "vomak.h"

#include <cstring>

#include "core/file_access.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/message_pump.h"
#include "platform/win32/kernel.h"
#include "platform/win32/user.h"

SoundSystemState SoundSystem;

namespace {

constexpr DWORD kStaticFlags = 0x80E2;
constexpr DWORD kStaticRetryFlags = 0xC2;
constexpr DWORD kStreamFlags = 0x180E2;
constexpr DWORD kSilentFlags = 0x8002;

void ReleaseDevice() {
  if (SoundSystem.directSound) SoundSystem.directSound->Release();
  SoundSystem.directSound = nullptr;
}

const char* YesNo(DWORD flags, DWORD bit) { return (flags & bit) ? "OK" : "NO"; }

// The looping buffer of silence that keeps the device busy for its whole life.
void StartSilentBuffer() {
  WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = kSilentFlags;
  d.dwBufferBytes = f.nBlockAlign * 100;
  d.lpwfxFormat = &f;
  IDirectSoundBuffer* silent = nullptr;
  if (SoundSystem.directSound->CreateSoundBuffer(&d, &silent, nullptr) != S_OK) {
    AppLogWrite("無音バッファの作成に失敗しました");
    return;
  }
  void *first = nullptr, *second = nullptr;
  DWORD firstBytes = 0, secondBytes = 0;
  if (silent->Lock(0, d.dwBufferBytes, &first, &firstBytes, &second, &secondBytes, 0) != S_OK) {
    AppLogWrite("無音バッファのロックに失敗しました");
    silent->Release();
    return;
  }
  std::memset(first, 0, firstBytes);
  if (second) std::memset(second, 0, secondBytes);
  silent->Unlock(first, firstBytes, second, secondBytes);
  silent->Play(0, 0, DSBPLAY_LOOPING);
  SoundSystem.silentBuffer = silent;
}

void ReportDevice() {
  AppLogIndentIn();
  DSCAPS caps{};
  caps.dwSize = sizeof caps;
  SoundSystem.directSound->GetCaps(&caps);
  AppLogWrite("DirectSound デバイスを列挙します\n");
  AppLogIndentIn();
  HMODULE module = LoadLibraryA("DSOUND.DLL");
  if (!module) {
    AppLogWrite("DSOUND.DLL のロードに失敗しました\n");
    AppLogIndentOut();
    AppLogIndentOut();
    return;
  }
  auto enumerate = reinterpret_cast<HRESULT (*)(LPDSENUMCALLBACKA, LPVOID)>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, "DirectSoundEnumerateA")));
  if (!enumerate) {
    FreeLibrary(module);
    AppLogWrite("DirectSound デバイスの列挙用関数のポインタ取得に失敗しました\n");
    AppLogIndentOut();
    AppLogIndentOut();
    return;
  }
  enumerate(LogSoundDevice, nullptr);
  AppLogIndentOut();
  AppLogWriteFormat("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz ",
                    caps.dwMaxSecondarySampleRate * 0.001, caps.dwMinSecondarySampleRate * 0.001);
  AppLogWriteFormat("総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n", caps.dwTotalHwMemBytes / 1024.0,
                    caps.dwFreeHwMemBytes / 1024.0);
  AppLogWrite("利用可能サンプリング精度\n");
  AppLogWriteFormat(" プライマリ １６bit = %s  ８bit = %s ", YesNo(caps.dwFlags, DSCAPS_PRIMARY16BIT),
                    YesNo(caps.dwFlags, DSCAPS_PRIMARY8BIT));
  AppLogWriteFormat(" セカンダリ １６bit = %s  ８bit = %s \n", YesNo(caps.dwFlags, DSCAPS_SECONDARY16BIT),
                    YesNo(caps.dwFlags, DSCAPS_SECONDARY8BIT));
  AppLogWrite("利用可能チャンネル\n");
  AppLogWriteFormat(" プライマリ MONO = %s  STEREO = %s ", YesNo(caps.dwFlags, DSCAPS_PRIMARYMONO),
                    YesNo(caps.dwFlags, DSCAPS_PRIMARYSTEREO));
  AppLogWriteFormat(" セカンダリ MONO = %s  STEREO = %s \n", YesNo(caps.dwFlags, DSCAPS_SECONDARYMONO),
                    YesNo(caps.dwFlags, DSCAPS_SECONDARYSTEREO));
  AppLogIndentOut();
  FreeLibrary(module);
}

// Music mode 0: the DirectSound object, its cooperative level, the primary buffer and its format.
int StartDirectSound() {
  AppLogWrite("DirectSound の初期化を行います\n");
  AppLogWrite("DirectSound インターフェースの取得を行います....  ");
  if (CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound,
                       reinterpret_cast<void**>(&SoundSystem.directSound)) != S_OK) {
    SoundSystem.directSound = nullptr;
    return AppLogWrite("DirectSoundインターフェースの作成に失敗しました\n");
  }
  AppLogWrite("成功\n");
  AppLogWrite("引き続きインターフェースの初期化処理...  ");
  if (SoundSystem.directSound->Initialize(nullptr) != S_OK) {
    AppLogWrite("初期化に失敗しました\n");
    ReleaseDevice();
    return -1;
  }
  AppLogWrite("成功\n");
  if (SoundSystem.directSound->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY) != S_OK) {
    AppLogWrite("DirectSoundの協調レベルの設定に失敗しました\n");
    ReleaseDevice();
    return -1;
  }
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = DSBCAPS_PRIMARYBUFFER;
  if (SoundSystem.directSound->CreateSoundBuffer(&d, &SoundSystem.primaryBuffer, nullptr) != S_OK) {
    SoundSystem.primaryBuffer = nullptr;
    AppLogWrite("DirectSoundのプライマリサウンドバッファの作成に失敗しました\n");
    ReleaseDevice();
    return -1;
  }
  DSCAPS caps{};
  caps.dwSize = sizeof caps;
  SoundSystem.directSound->GetCaps(&caps);
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = (caps.dwFlags & DSCAPS_PRIMARYSTEREO) ? 2 : 1;
  f.wBitsPerSample = (caps.dwFlags & DSCAPS_PRIMARY16BIT) ? 16 : 8;
  f.nSamplesPerSec = caps.dwMaxSecondarySampleRate < 44100 ? caps.dwMaxSecondarySampleRate : 44100;
  f.nBlockAlign = static_cast<WORD>(f.wBitsPerSample / 8 * f.nChannels);
  f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
  if (SoundSystem.primaryBuffer->SetFormat(&f) != S_OK) {
    AppLogWrite("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n");
  }
  return 0;
}

// Lets go of the DirectMusic objects that exist.
void ReleaseDirectMusic() {
  if (IDirectMusicPerformance8*& performance = SoundSystem.musicPerformance) {
    performance->Stop(nullptr, nullptr, 0, 0);
    performance->CloseDown();
    performance->Release();
    performance = nullptr;
  }
  if (SoundSystem.musicLoader) SoundSystem.musicLoader->Release();
  SoundSystem.musicLoader = nullptr;
}

// Lists the DirectMusic ports to the log; -1 (logged) when the DirectMusic object cannot be had.
int LogMusicPorts() {
  IDirectMusic* music = nullptr;
  if (CoCreateInstance(CLSID_DirectMusic, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectMusic2,
                       reinterpret_cast<void**>(&music)) != S_OK) {
    return AppLogWrite("DirectMusic オブジェクトの取得に失敗しました\n");
  }
  IDirectMusic8* music8 = nullptr;
  if (music->QueryInterface(IID_IDirectMusic8, reinterpret_cast<void**>(&music8)) != S_OK) {
    music->Release();
    return AppLogWrite("DirectMusic8 オブジェクトの取得に失敗しました\n");
  }
  DMUS_PORTCAPS caps;
  // Any answer but S_OK ends the list: a lasting error must not list for ever.
  for (DWORD index = 0;; ++index) {
    std::memset(&caps, 0, sizeof caps);
    caps.dwSize = sizeof caps;
    if (music8->EnumPort(index, &caps) != S_OK) break;
    int units = 0;
    while (units < DMUS_MAX_DESCRIPTION && caps.wszDescription[units]) ++units;
    char description[DMUS_MAX_DESCRIPTION * 2 + 1] = {};
    WideCharToMultiByte(CP_ACP, 0, caps.wszDescription, units, description, sizeof description - 1, nullptr,
                        nullptr);
    AppLogWriteFormat("%s  Device%d:%s ", caps.dwClass == DMUS_PC_OUTPUTCLASS ? "出力ポート" : "入力ポート",
                      static_cast<int>(index), description);
  }
  music8->Release();
  music->Release();
  return 0;
}

// Music mode 1: the DirectMusic loader and performance, the port list, and the DirectSound object made by the
// performance. -1 when something cannot be made: what was made is released and the mode becomes 0.
int StartDirectMusic() {
  SoundSystemState& s = SoundSystem;
  AppLogWrite("DirectSound8 の初期化を行います\n");
  constexpr DWORD kInProcess = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
  const char* failure = nullptr;
  if (CoCreateInstance(CLSID_DirectMusicLoader, nullptr, kInProcess, IID_IDirectMusicLoader8,
                       reinterpret_cast<void**>(&s.musicLoader)) != S_OK) {
    s.musicLoader = nullptr;
    failure = "DirectMusicLoader8 オブジェクトの作成に失敗しました\n";
  } else if (CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, kInProcess, IID_IDirectMusicPerformance8,
                              reinterpret_cast<void**>(&s.musicPerformance)) != S_OK) {
    s.musicPerformance = nullptr;
    failure = "DirectMusicPerformance オブジェクトの作成に失敗しました\n";
  } else if (LogMusicPorts() != 0) {
    failure = "";
  } else {
    DMUS_AUDIOPARAMS params{};
    params.dwSize = sizeof params;
    params.fInitNow = 1;
    params.dwValidData = DMUS_AUDIOPARAMS_FEATURES | DMUS_AUDIOPARAMS_SAMPLERATE;
    params.dwFeatures = DMUS_AUDIOF_ALL;
    params.dwSampleRate = 44100;
    // The DirectMusic object it could hand back is not asked for: nothing would use it.
    if (s.musicPerformance->InitAudio(nullptr, &s.directSound, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64,
                                      DMUS_AUDIOF_ALL, &params) != S_OK) {
      s.directSound = nullptr;
      failure = "DirectMusicPerformanceオブジェクトの初期化に失敗しました\n";
    }
  }
  if (failure) {
    if (*failure) AppLogWrite(failure);
    AppLogWrite("前バージョンでの初期化処理に移ります\n");
    ReleaseDirectMusic();
    s.MusicDeviceMode = 0;
    return -1;
  }
  LONG master = 0;
  s.musicPerformance->GetGlobalParam(GUID_PerfMasterVolume, &master, sizeof master);
  s.masterVolume = master;
  return 0;
}

// Hands a failed load's handle back and answers -1.
int FailLoad(int handle) {
  ReleaseSoundHandle(handle);
  return -1;
}

}  // namespace

int SoundDecoderBytesPerSample() { return SoundSystem.decoderBytesPerSample ? SoundSystem.decoderBytesPerSample : 2; }

SoundEntry* FindSoundEntry(int handle) {
  return SoundSystem.directSound ? SoundSystem.sounds.Find(handle) : nullptr;
}

int SoundSystemStartup() {
  if (SoundSystem.directSound) return -1;
  if (SoundSystem.MusicDeviceMode == 1) {
    // A DirectMusic that cannot be made leaves the device to mode 0.
    if (StartDirectMusic() != 0) return SoundSystemStartup();
  } else if (StartDirectSound() != 0) {
    return -1;
  }
  StartSilentBuffer();
  SoundSystem.SoundCreateMode = 0;
  SoundSystem.decoderBytesPerSample = 2;
  if (SoundSystem.directSound) ReportDevice();
  AppLogWrite("DirectSound の初期化は正常に終了しました\n");
  ReleaseAllSoundHandles();
  return 0;
}

int SoundSystemShutdown() {
  if (!SoundSystem.directSound) return -1;
  ReleaseAllSoundHandles();
  ReleaseAllMusicHandles();
  if (SoundSystem.MusicDeviceMode == 1) ReleaseDirectMusic();
  for (IDirectSoundBuffer** b : {&SoundSystem.primaryBuffer, &SoundSystem.silentBuffer}) {
    if (!*b) continue;
    (*b)->Stop();
    (*b)->Release();
    *b = nullptr;
  }
  ReleaseDevice();
  AppLogWrite("DirectSound の終了処理は正常に終了しました\n");
  return 0;
}

int AddSoundData(int handle) {
  SoundTable& table = SoundSystem.sounds;
  int slot;
  const bool fresh = handle == -1;
  if (!fresh) {
    if (handle < 0 || (handle & HandleKindMask) != SoundHandle || HandleSlot(handle) >= kSoundSlots) return -1;
    slot = HandleSlot(handle);
    // A handle whose slot is taken would name the old record: refused.
    if (table.slots[slot]) return AppLogWrite("既に使用されているサウンドハンドルです in AddSoundData\n");
  } else {
    if (table.count >= kSoundSlots) ExitOnError("サウンドの数が許容量を越えました終了します");
    slot = table.FreeSlot();
  }
  auto* entry = static_cast<SoundEntry*>(MemAlloc(sizeof(SoundEntry)));
  if (!entry) ExitOnError("メモリ領域の確保に失敗しました in AddSoundData");
  std::memset(entry, 0, sizeof *entry);
  if (fresh) return table.Insert(slot, entry);
  entry->check = HandleCheck(handle);
  table.slots[slot] = entry;
  table.count++;
  if (slot >= table.highWater) table.highWater = slot + 1;
  return handle;
}

int CreateSoundBuffers(const WAVEFORMATEX* format, int byteSize, int kind, int count, int handle) {
  SoundEntry* entry = FindSoundEntry(handle);
  if (!entry) return -1;
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.lpwfxFormat = const_cast<WAVEFORMATEX*>(format);
  if (kind == 0) {
    d.dwBufferBytes = static_cast<DWORD>(byteSize);
    for (int i = 0; i < count; ++i) {
      d.dwFlags = kStaticFlags;
      if (SoundSystem.directSound->CreateSoundBuffer(&d, &entry->buffers[i], nullptr) == S_OK) continue;
      d.dwFlags = kStaticRetryFlags;
      if (SoundSystem.directSound->CreateSoundBuffer(&d, &entry->buffers[i], nullptr) == S_OK) continue;
      for (int j = 0; j < i; ++j) {
        entry->buffers[j]->Release();
        entry->buffers[j] = nullptr;
      }
      ExitOnError("DirectSoundBuffer の作成に失敗しました");
    }
    entry->bufferCount = count;
  } else if (kind == 1) {
    d.dwFlags = kStreamFlags;
    d.dwBufferBytes = format->nAvgBytesPerSec * 6;
    if (SoundSystem.directSound->CreateSoundBuffer(&d, &entry->buffers[0], nullptr) != S_OK) {
      ExitOnError("ストリーム風サウンドバッファの作成に失敗しました");
    }
    entry->bufferCount = 1;
  }
  entry->bytesPerSecond = format->nAvgBytesPerSec;
  entry->streamFlag = kind;
  return 0;
}

int AlignToBlock(int bytes, const SoundEntry* entry) { return AlignToFormatBlock(bytes, &entry->waveFormat); }

int LoadFileToMemory(const char* path, void** block, int* size) {
  FileHandle file = FileAccessOpen(path, 0, 1);
  if (!file) return AppLogWriteFormat("右記のファイルのオープンに失敗しました：%s", path);
  FileAccessSeek(file, 0, 2);
  const int32_t length = FileAccessTell(file) > 0 ? FileAccessTell(file) : 0;
  FileAccessSeek(file, 0, 0);
  void* data = MemAlloc(length > 0 ? length : 1);
  if (!data) {
    FileAccessClose(file);
    return AppLogWriteFormat("右記のファイルのロードに必要なメモリの確保に失敗しました：%s", path);
  }
  // A short read would leave bytes that were never read to be decoded as sound.
  if (length > 0 && FileAccessRead(data, static_cast<size_t>(length), 1, file) != 1) {
    MemFree(data);
    FileAccessClose(file);
    return -1;
  }
  FileAccessClose(file);
  *block = data;
  *size = length;
  return 0;
}

int LoadSoundFromMemImage(const void* image, int size, int count) {
  if (!SoundSystem.directSound || count > 10 || count < 1) return -1;
  const int handle = AddSoundData(-1);
  if (SoundSystem.SoundCreateMode != 0) {
    if (AppendMemImageToStreamSound(image, size, 0, handle, SoundSystem.SoundCreateMode) < 0) return FailLoad(handle);
    StreamPrepare(handle);
    return handle;
  }
  BufferStreamRecord* stream = OpenBufferStream(image, size);
  if (!stream) return FailLoad(handle);
  const StreamSource source{*GetBufferStreamFunctions(), reinterpret_cast<FileHandle>(stream)};
  auto* decoder = static_cast<SoundDecoder*>(MemAllocZeroed(sizeof(SoundDecoder)));
  if (!decoder || SoundDecoderOpen(&source, decoder) != 0) {
    MemFree(decoder);
    CloseBufferStream(reinterpret_cast<FileHandle>(stream));
    AppLogWriteFormat("音声ファイルのＰＣＭへの変換に失敗しました");
    return FailLoad(handle);
  }
  WAVEFORMATEX format{};
  void* pcm = nullptr;
  int pcmSize = 0;
  const int decoded = DecodeSoundToMemory(decoder, &format, &pcm, &pcmSize);
  SoundDecoderClose(decoder);
  MemFree(decoder);
  CloseBufferStream(reinterpret_cast<FileHandle>(stream));
  if (decoded != 0) {
    AppLogWriteFormat("音声ファイルを格納するメモリ領域の確保に失敗しました");
    return FailLoad(handle);
  }
  // A sound without one whole frame has nothing a buffer could hold.
  if (pcmSize < static_cast<int>(DSBSIZE_MIN) || pcmSize < format.nBlockAlign) {
    MemFree(pcm);
    AppLogWriteFormat("音声ファイルのＰＣＭへの変換に失敗しました");
    return FailLoad(handle);
  }
  CreateSoundBuffers(&format, pcmSize, 0, count, handle);
  SoundEntry* entry = FindSoundEntry(handle);
  entry->waveFormat = format;
  entry->pcmBlock = pcm;
  entry->pcmSize = static_cast<uint32_t>(pcmSize);
  for (int i = 0; i < entry->bufferCount; ++i) {
    void *first = nullptr, *second = nullptr;
    DWORD firstBytes = 0, secondBytes = 0;
    if (entry->buffers[i]->Lock(0, entry->pcmSize, &first, &firstBytes, &second, &secondBytes, 0) != S_OK) {
      AppLogWrite("サウンドデータの転送に失敗しました_1");
      return FailLoad(handle);
    }
    std::memcpy(first, pcm, firstBytes);
    if (second) std::memcpy(second, static_cast<uint8_t*>(pcm) + firstBytes, secondBytes);
    if (entry->buffers[i]->Unlock(first, firstBytes, second, secondBytes) != S_OK) {
      AppLogWrite("サウンドデータの転送に失敗しました_2");
      return FailLoad(handle);
    }
  }
  return handle;
}

int LoadSoundFromFileEx(const char* path, int count) {
  if (!SoundSystem.directSound || count > 10 || count < 1) return -1;
  if (SoundSystem.SoundCreateMode != 0) {
    const int handle = AddSoundData(-1);
    if (AppendFileToStreamSound(path, 0, handle, SoundSystem.SoundCreateMode) < 0) return FailLoad(handle);
    StreamPrepare(handle);
    return handle;
  }
  void* image = nullptr;
  int size = 0;
  if (LoadFileToMemory(path, &image, &size) != 0) {
    return AppLogWriteFormat("右記の音声ファイルのロードに失敗しました_1：%s", path);
  }
  const int handle = LoadSoundFromMemImage(image, size, count);
  MemFree(image);
  if (handle < 0) return AppLogWriteFormat("右記の音声ファイルのロードに失敗しました_2：%s", path);
  return handle;
}

int LoadSoundFromFile(const char* path) { return LoadSoundFromFileEx(path, 1); }

int StartSoundPlayback(int handle, int style, int restart) {
  SoundEntry* entry = FindSoundEntry(handle);
  if (!entry) return -1;
  if (entry->streamFlag) return StreamPlay(handle, style, restart);
  if (entry->bufferCount < 1) return -1;
  int chosen = -1;
  for (int i = 0; i < entry->bufferCount && chosen < 0; ++i) {
    DWORD status = 0;
    if (entry->buffers[i]->GetStatus(&status) != S_OK) return -1;
    if (!(status & DSBSTATUS_PLAYING)) chosen = i;
  }
  bool playing = false;
  if (chosen < 0) {
    // Every buffer plays: the one that has played furthest.
    DWORD furthest = 0;
    for (int i = 0; i < entry->bufferCount; ++i) {
      DWORD cursor = 0;
      if (entry->buffers[i]->GetCurrentPosition(&cursor, nullptr) != S_OK) return -1;
      if (chosen < 0 || cursor > furthest) {
        chosen = i;
        furthest = cursor;
      }
    }
    playing = true;
  }
  IDirectSoundBuffer* buffer = entry->buffers[chosen];
  if (playing) {
    if (restart == 0) return 0;
    buffer->Stop();
  }
  if (restart == 1) buffer->SetCurrentPosition(0);
  if (buffer->Play(0, 0, style == 3 ? DSBPLAY_LOOPING : 0) != S_OK) return -1;
  if (style == 0) {
    while (PumpWaitStep() == 0 && QuerySoundPlaying(handle) == 1) {
    }
  }
  return 0;
}

int HaltSoundPlayback(int handle) {
  SoundEntry* entry = FindSoundEntry(handle);
  if (!entry) return -1;
  if (entry->streamFlag) return StreamStop(handle);
  for (int i = 0; i < entry->bufferCount; ++i) {
    DWORD status = 0;
    if (entry->buffers[i]->GetStatus(&status) != S_OK) return -1;
    if (status & DSBSTATUS_PLAYING) entry->buffers[i]->Stop();
  }
  return 0;
}

int QuerySoundPlaying(int handle) {
  SoundEntry* entry = FindSoundEntry(handle);
  if (!entry) return -1;
  if (entry->streamFlag) return StreamQueryPlaying(handle);
  for (int i = 0; i < entry->bufferCount; ++i) {
    DWORD status = 0;
    if (entry->buffers[i]->GetStatus(&status) != S_OK) return -1;
    if (status & DSBSTATUS_PLAYING) return 1;
  }
  return 0;
}

int ReleaseSoundHandle(int handle) {
  SoundTable& table = SoundSystem.sounds;
  const int slot = table.SlotOf(handle);
  if (slot < 0 || !SoundSystem.directSound) return -1;
  SoundEntry* entry = table.slots[slot];
  if (entry->buffers[0]) HaltSoundPlayback(handle);
  if (entry->streamFlag == 0) {
    for (int i = 0; i < entry->bufferCount; ++i) {
      if (entry->buffers[i]) entry->buffers[i]->Release();
    }
    MemFree(entry->pcmBlock);
  } else {
    ReleaseStreamParts(entry);
    if (entry->buffers[0]) entry->buffers[0]->Release();
  }
  MemFree(entry);
  table.Remove(slot);
  return 0;
}

int ReleaseAllSoundHandles() {
  if (!SoundSystem.directSound) return -1;
  SoundTable& table = SoundSystem.sounds;
  for (int slot = 0; slot < kSoundSlots; ++slot) {
    if (table.slots[slot]) ReleaseSoundHandle(MakeHandle(SoundHandle, table.slots[slot]->check, slot));
  }
  return 0;
}

BOOL LogSoundDevice(GUID*, LPCSTR description, LPCSTR module, LPVOID) {
  AppLogWriteFormat("モジュール名:%15s  ドライバ記述:%s ", module ? module : "", description ? description : "");
  return TRUE;
}
