#include "core/system_info.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/clock.h"
#include "core/log.h"
#include "core/system_state.h"
#include "core/win32_calls.h"
#include "platform/host/cpu.h"

namespace {

using DirectDrawCreateFunction = HRESULT (*)(GUID*, void**, IUnknown*);
using DirectDrawCreateExFunction = HRESULT (*)(GUID*, void**, REFIID, IUnknown*);

// An export found by name, as the function type it has.
template <class Function>
Function ExportAs(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

void LogWindowsVersion() {
  AppLogWrite("ＯＳ  Windows");
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = 148;
  GetVersionExA(&info);
  int& code = SystemState.windowsVersionCode;
  const char* service = info.szCSDVersion;
  switch (info.dwPlatformId) {
    case 0:
      AppLogWrite("3.1");
      code = 0;
      break;
    case 1:
      if (info.dwMinorVersion == 0) {
        AppLogWrite("95");
        code = 1;
        if (service[0] == 'C') AppLogWrite("OSR2");
      } else if (info.dwMinorVersion == 10) {
        AppLogWrite("98");
        code = 2;
        if (service[0] == 'A') AppLogWrite("SE");
      } else if (info.dwMinorVersion == 90) {
        AppLogWrite("Me");
        code = 3;
      }
      break;
    case 2:
      if (info.dwMajorVersion == 3) {
        AppLogWrite("NT 3.51");
        code = 0x104;
      } else if (info.dwMajorVersion == 4) {
        AppLogWrite("NT 4.0");
        code = 0x105;
      } else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 0) {
        AppLogWrite("2000");
        code = 0x106;
      } else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 1) {
        AppLogWrite("XP");
        code = 0x107;
      }
      break;
    default: break;
  }
  char build[sizeof info.szCSDVersion + 1] = {};
  std::memcpy(build, info.szCSDVersion, sizeof info.szCSDVersion);
  AppLogWriteFormat(" ( Build %d %s )", static_cast<int>(info.dwBuildNumber), build);
}

void LogDirectXVersion(int code) {
  char text[128];
  int letter = code & 0xFF;
  char suffix[2] = {letter >= 'a' && letter <= 'z' ? static_cast<char>(letter) : '\0', '\0'};
  std::snprintf(text, sizeof text, "ＤｉｒｅｃｔＸ　Ver%d.%d%s以上", (code >> 16) & 0xFF, (code >> 8) & 0xFF, suffix);
  AppLogWrite(text);
  AppLogWrite("\n");
}

struct ProcessorInfo {
  int level = 0;  // 0 no CPUID, 1 CPUID, 3 MMX
  int timeStampCounter = 0;
  char vendor[13] = {};
  char name[49] = {};  // 48 bytes and a terminator, also for a name that fills all 48
};

ProcessorInfo ReadProcessor() {
  ProcessorInfo info;
  if (!host::ProcessorHasCpuid()) return info;
  info.level = 1;
  host::CpuidResult leaf0 = host::ProcessorCpuid(0);
  std::memcpy(info.vendor, &leaf0.ebx, 4);
  std::memcpy(info.vendor + 4, &leaf0.edx, 4);
  std::memcpy(info.vendor + 8, &leaf0.ecx, 4);
  host::CpuidResult leaf1 = host::ProcessorCpuid(1);
  info.timeStampCounter = (leaf1.edx >> 4) & 1;
  if (host::ProcessorCpuid(0x80000000u).eax >= 0x80000004u) {
    for (uint32_t leaf = 0; leaf < 3; ++leaf) {
      host::CpuidResult r = host::ProcessorCpuid(0x80000002u + leaf);
      uint32_t words[4] = {r.eax, r.ebx, r.ecx, r.edx};
      std::memcpy(info.name + leaf * 16, words, 16);
    }
  }
  if ((leaf1.edx >> 23) & 1) info.level = 3;
  return info;
}

void MeasureTimeStampCounter() {
  LibrarySystemState& s = SystemState;
  uint64_t first = host::ProcessorReadTimeStampCounter();
  uint32_t start = static_cast<uint32_t>(GetMillisecondCount(0));
  while (static_cast<uint32_t>(GetMillisecondCount(0)) - start < 500) {
  }
  uint64_t difference = host::ProcessorReadTimeStampCounter() - first;
  s.timeStampTicksPer500ms = difference;
  AppLogWriteFormat("ＣＰＵ動作速度：%dMHz", static_cast<int>(static_cast<int64_t>(difference) / 500000));
}

}  // namespace

int ProbeDirectXVersion() {
  int code = 0;
  HMODULE ddraw = LoadLibraryA("DDRAW.DLL");
  if (ddraw == nullptr) {
    AppLogWrite("DirectX がインストールされていません\n");
    return code;
  }
  IDirectDraw* directDraw = nullptr;
  IDirectDrawSurface* surface = nullptr;
  IDirectDrawSurface4* surface4 = nullptr;
  auto release = [&] {
    if (surface4) surface4->Release();
    if (surface) surface->Release();
    if (directDraw) directDraw->Release();
    FreeLibrary(ddraw);
  };
  auto fail = [&](const char* text) {
    AppLogWrite(text);
    release();
    return code;
  };

  auto create = ExportAs<DirectDrawCreateFunction>(ddraw, "DirectDrawCreate");
  if (create == nullptr) return fail("DirectDrawCreate ファンクションが見つかりませんでした\n");
  if (FAILED(create(nullptr, reinterpret_cast<void**>(&directDraw), nullptr)) || directDraw == nullptr) {
    directDraw = nullptr;
    return fail("DirectDrawCreate ファンクションが失敗しました\n");
  }
  code = 0x10000;

  IUnknown* probe = nullptr;
  if (FAILED(directDraw->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&probe))) || probe == nullptr) {
    return fail("DirectDraw2 インターフェイスの取得に失敗しました\n");
  }
  probe->Release();
  code = 0x20000;

  HMODULE dinput = LoadLibraryA("DINPUT.DLL");
  if (dinput == nullptr) return fail("DirecInput.DLL のロードに失敗しました\n");
  FARPROC dinputCreate = GetProcAddress(dinput, "DirectInputCreateA");
  FreeLibrary(dinput);
  if (dinputCreate == nullptr) return fail("DirecInputCreateA が見つかりませんでした\n");
  code = 0x30000;

  if (FAILED(directDraw->SetCooperativeLevel(nullptr, 8))) return fail("協調設定を変更できませんでした\n");
  DDSURFACEDESC description{};
  description.dwSize = 108;
  description.dwFlags = 1;
  description.ddsCaps.dwCaps = 0x200;
  if (FAILED(directDraw->CreateSurface(&description, &surface, nullptr)) || surface == nullptr) {
    surface = nullptr;
    return fail("DirectDrawSurface オブジェクトの作成に失敗しました\n");
  }
  probe = nullptr;
  if (FAILED(surface->QueryInterface(IID_IDirectDrawSurface3, reinterpret_cast<void**>(&probe))) || probe == nullptr) {
    return fail("DirectDrawSurface3 インターフェイスの取得に失敗しました\n");
  }
  probe->Release();
  code = 0x50000;
  if (FAILED(surface->QueryInterface(IID_IDirectDrawSurface4, reinterpret_cast<void**>(&surface4))) ||
      surface4 == nullptr) {
    surface4 = nullptr;
    return fail("DirectDrawSurface4 インターフェイスの取得に失敗しました\n");
  }
  surface4->Release();
  surface4 = nullptr;
  surface->Release();
  surface = nullptr;
  directDraw->Release();
  directDraw = nullptr;
  code = 0x60000;

  CoInitialize(nullptr);
  IUnknown* music = nullptr;
  HRESULT created = CoCreateInstance(CLSID_DirectMusic, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectMusic,
                                     reinterpret_cast<void**>(&music));
  if (FAILED(created) || music == nullptr) {
    CoUninitialize();
    return fail("DirectMusic インターフェイスの取得に失敗しました\n");
  }
  music->Release();
  CoUninitialize();
  code = 0x60100;

  auto createEx = ExportAs<DirectDrawCreateExFunction>(ddraw, "DirectDrawCreateEx");
  if (createEx == nullptr) return fail("DirectDrawCreateEx ファンクションが見つかりませんでした\n");
  IUnknown* directDraw7 = nullptr;
  if (FAILED(createEx(nullptr, reinterpret_cast<void**>(&directDraw7), IID_IDirectDraw7, nullptr)) ||
      directDraw7 == nullptr) {
    return fail("DirectDrawCreateEx ファンクションが失敗しました\n");
  }
  directDraw7->Release();
  FreeLibrary(ddraw);
  code = 0x70000;

  HMODULE d3d8 = LoadLibraryA("D3D8.DLL");
  if (d3d8 == nullptr) {
    AppLogWrite("D33D8.DLL はありませんでした\n");
    return code;
  }
  FreeLibrary(d3d8);
  return 0x80000;
}

int LogSystemInfoAndCheckDirectX() {
  LibrarySystemState& s = SystemState;
  AppLogWrite("システムの情報を出力します\n");
  AppLogIndentIn();
  char version[64];
  std::snprintf(version, sizeof version, "ＶＯＭＡＫライブラリ Ver%s", "2.19b");
  AppLogWrite(version);
  AppLogWrite("\n");
  LogWindowsVersion();

  s.directXVersionCode = 0;
  s.directXVersionCode = ProbeDirectXVersion();
  LogDirectXVersion(s.directXVersionCode);

  s.useMmx = 0;
  ProcessorInfo processor = ReadProcessor();
  s.timeStampCounterAvailable = processor.timeStampCounter;
  if (processor.timeStampCounter) MeasureTimeStampCounter();
  if (processor.level == 0) {
    AppLogWrite("ＣＰＵＩＤ命令は使えません\n");
  } else if (processor.level == 1) {
    AppLogWrite("ＭＭＸは使えません\n");
  } else {
    AppLogWrite("ＭＭＸ命令を使用します\n");
    s.useMmx = 1;
  }
  if (processor.level > 0) {
    AppLogWrite("ＣＰＵベンダ：");
    for (int i = 0; i < 3; ++i) {
      char part[5] = {};
      std::memcpy(part, processor.vendor + i * 4, 4);
      AppLogWrite(part);
    }
    AppLogWrite("\n");
    if (processor.name[0] != '\0') {
      AppLogWrite("ＣＰＵ名：");
      AppLogWrite(processor.name);
      AppLogWrite("\n");
    }
  }
  AppLogIndentOut();

  if (s.directXVersionCode < 0x70000) {
    const char* text = s.directXVersionCode == 0 ? "DirectX がインストールされていないのでここで終了します"
                                                 : "DirectX バージョン 7 以前なのでソフトを起動することが出来ません";
    MessageBoxA(nullptr, text, "エラー", MB_OK);
    std::exit(-1);
  }
  return 0;
}
