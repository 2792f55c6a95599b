#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/directx/ddraw_entry.h"
#include "platform/directx/dinput_entry.h"
#include "platform/host/cpu.h"
#include "platform/win32/kernel.h"
#include "platform/win32/user.h"
#include "platform/win32/winmm.h"
#include "support/headless_fixture.h"

namespace {

using KernelTest = HeadlessTest;

TEST_F(KernelTest, MillisecondClockWrapsAt32Bits) {
  headless::SetReadStepMicroseconds(0);
  headless::SetMilliseconds(0xFFFFFFFFull - 5);
  DWORD before = timeGetTime();
  EXPECT_EQ(before, 0xFFFFFFFAu);
  Sleep(10);
  DWORD after = timeGetTime();
  EXPECT_EQ(after, 4u);
  EXPECT_EQ(after - before, 10u);  // the unsigned difference stays right across the wrap
}

TEST_F(KernelTest, EveryReadStepsTheClockSoBusyWaitsEnd) {
  headless::SetReadStepMicroseconds(100);
  DWORD start = timeGetTime();
  int reads = 0;
  while (timeGetTime() - start < 5) ++reads;
  EXPECT_GE(reads, 45);
  EXPECT_LE(reads, 50);
}

TEST_F(KernelTest, PerformanceCounterRunsAtOneMegahertzOnTheVirtualClock) {
  headless::SetReadStepMicroseconds(0);
  LARGE_INTEGER frequency, a, b;
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(frequency.QuadPart, 1000000);
  ASSERT_TRUE(QueryPerformanceCounter(&a));
  Sleep(3);
  ASSERT_TRUE(QueryPerformanceCounter(&b));
  EXPECT_EQ(b.QuadPart - a.QuadPart, 3000);
  // Far beyond the 32-bit millisecond wrap the counter keeps counting.
  headless::SetMilliseconds(uint64_t{1} << 40);
  QueryPerformanceCounter(&a);
  EXPECT_EQ(a.QuadPart, static_cast<LONGLONG>((uint64_t{1} << 40) * 1000));
  headless::FailCall("QueryPerformanceFrequency");
  EXPECT_FALSE(QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(frequency.QuadPart, 0);
}

TEST_F(KernelTest, TimerCapabilities) {
  TIMECAPS caps{};
  ASSERT_EQ(timeGetDevCaps(&caps, sizeof(caps)), TIMERR_NOERROR);
  EXPECT_EQ(caps.wPeriodMin, 1u);
  EXPECT_EQ(timeBeginPeriod(caps.wPeriodMin), TIMERR_NOERROR);
  EXPECT_EQ(timeEndPeriod(caps.wPeriodMin), TIMERR_NOERROR);
  EXPECT_NE(timeEndPeriod(1), TIMERR_NOERROR);  // more ends than begins
}

TEST_F(KernelTest, MemoryVersionAndCodePages) {
  MEMORYSTATUS status{};
  GlobalMemoryStatus(&status);
  EXPECT_EQ(status.dwTotalPhys, 512u << 20);
  EXPECT_EQ(status.dwAvailPhys, 256u << 20);
  OSVERSIONINFOA version{};
  EXPECT_FALSE(GetVersionExA(&version));  // the size field must be set
  version.dwOSVersionInfoSize = 148;
  ASSERT_EQ(sizeof(OSVERSIONINFOA), 148u);
  ASSERT_TRUE(GetVersionExA(&version));
  EXPECT_EQ(version.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(version.dwMajorVersion, 5u);
  EXPECT_EQ(version.dwMinorVersion, 1u);
  EXPECT_EQ(GetOEMCP(), 932u);
  headless::SetOemCodePage(949);
  EXPECT_EQ(GetOEMCP(), 949u);
}

TEST_F(KernelTest, CurrentDirectoryTakesBackslashesAndReportsNeededSize) {
  std::filesystem::create_directories("a/b");
  char buffer[4096];
  DWORD length = GetCurrentDirectoryA(sizeof(buffer), buffer);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(std::string(buffer), workDir());
  EXPECT_EQ(length, workDir().size());
  char tiny[4] = "xyz";
  EXPECT_EQ(GetCurrentDirectoryA(sizeof(tiny), tiny), workDir().size() + 1);
  EXPECT_STREQ(tiny, "xyz");
  std::string exact(workDir().size() + 2, '#');  // room for the path and its terminator, and a byte that stays
  EXPECT_EQ(GetCurrentDirectoryA(static_cast<DWORD>(exact.size() - 1), exact.data()), workDir().size());
  EXPECT_EQ(exact.back(), '#');
  ASSERT_TRUE(SetCurrentDirectoryA("a\\b"));
  GetCurrentDirectoryA(sizeof(buffer), buffer);
  EXPECT_EQ(std::string(buffer), workDir() + "/a/b");
  EXPECT_FALSE(SetCurrentDirectoryA("missing"));
  EXPECT_FALSE(SetCurrentDirectoryA(""));
  ASSERT_TRUE(SetCurrentDirectoryA(workDir().c_str()));
}

TEST_F(KernelTest, ModuleTableAndExports) {
  EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
  EXPECT_EQ(GetModuleHandleA("ddraw.dll"), nullptr);  // not loaded yet
  HMODULE ddraw = LoadLibraryA("ddraw.DLL");
  ASSERT_NE(ddraw, nullptr);
  EXPECT_EQ(LoadLibraryA("DDRAW"), ddraw);
  EXPECT_EQ(GetModuleHandleA("DDRAW.DLL"), ddraw);
  FARPROC create = GetProcAddress(ddraw, "DirectDrawCreate");
  EXPECT_EQ(reinterpret_cast<void*>(create), reinterpret_cast<void*>(&DirectDrawCreate));
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(ddraw, "DirectDrawCreateEx")),
            reinterpret_cast<void*>(&DirectDrawCreateEx));
  EXPECT_EQ(GetProcAddress(ddraw, "directdrawcreate"), nullptr);  // export names keep their case
  EXPECT_EQ(GetProcAddress(ddraw, "DirectInputCreateA"), nullptr);
  EXPECT_TRUE(FreeLibrary(ddraw));
  EXPECT_EQ(GetModuleHandleA("DDRAW.DLL"), ddraw);  // one reference left
  EXPECT_TRUE(FreeLibrary(ddraw));
  EXPECT_EQ(GetModuleHandleA("DDRAW.DLL"), nullptr);
  EXPECT_FALSE(FreeLibrary(ddraw));
  EXPECT_EQ(GetProcAddress(ddraw, "DirectDrawCreate"), nullptr);  // unloaded

  HMODULE dinput = LoadLibraryA("DINPUT.DLL");
  ASSERT_NE(dinput, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(dinput, "DirectInputCreateA")),
            reinterpret_cast<void*>(&DirectInputCreateA));
  FreeLibrary(dinput);
  // No 3-D runtime, and nothing else the substitute does not stand in for.
  EXPECT_EQ(LoadLibraryA("D3D8.DLL"), nullptr);
  EXPECT_EQ(LoadLibraryA("Ravtelo.dll"), nullptr);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
}

TEST_F(KernelTest, ModuleFailuresByName) {
  headless::FailCall("LoadLibraryA:DINPUT.DLL");
  EXPECT_EQ(LoadLibraryA("dinput.dll"), nullptr);
  HMODULE ddraw = LoadLibraryA("DDRAW.DLL");
  ASSERT_NE(ddraw, nullptr);
  headless::FailCall("GetProcAddress:DirectDrawCreateEx", 1);
  EXPECT_EQ(GetProcAddress(ddraw, "DirectDrawCreateEx"), nullptr);
  EXPECT_NE(GetProcAddress(ddraw, "DirectDrawCreateEx"), nullptr);
  FreeLibrary(ddraw);
}

TEST_F(KernelTest, FailureRulesSkipAndCount) {
  headless::FailCall("LoadLibraryA", 2, 1);
  HMODULE first = LoadLibraryA("DDRAW.DLL");
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(LoadLibraryA("DDRAW.DLL"), nullptr);
  EXPECT_EQ(LoadLibraryA("DDRAW.DLL"), nullptr);
  EXPECT_NE(LoadLibraryA("DDRAW.DLL"), nullptr);
}

TEST_F(KernelTest, DebuggerOutputAndMessageBoxesAreKept) {
  OutputDebugStringA("一行目\n");
  OutputDebugStringA("\tnext");
  EXPECT_EQ(headless::DebugOutput(), std::string("一行目\n\tnext"));
  headless::ClearDebugOutput();
  EXPECT_TRUE(headless::DebugOutput().empty());
  EXPECT_EQ(MessageBoxA(nullptr, "本文", "エラー", MB_OK), IDOK);
  headless::SetMessageBoxAnswer(IDCANCEL);
  EXPECT_EQ(MessageBoxA(nullptr, "two", nullptr, MB_OKCANCEL), IDCANCEL);
  ASSERT_EQ(headless::MessageBoxes().size(), 2u);
  EXPECT_EQ(headless::MessageBoxes()[0].text, "本文");
  EXPECT_EQ(headless::MessageBoxes()[0].caption, "エラー");
  EXPECT_EQ(headless::MessageBoxes()[1].caption, "");
  EXPECT_EQ(headless::MessageBoxes()[1].type, MB_OKCANCEL);
}

// A processor as a test describes it.
host::CpuidResult FakeCpuid(uint32_t leaf) {
  host::CpuidResult r;
  if (leaf == 0) {
    r.eax = 1;
    std::memcpy(&r.ebx, "Fake", 4);
    std::memcpy(&r.edx, "Proc", 4);
    std::memcpy(&r.ecx, "Unit", 4);
  } else if (leaf == 1) {
    r.edx = 0x10;  // time-stamp counter, no MMX
  }
  return r;
}
bool NoCpuid() { return false; }
uint64_t FixedCounter() { return 12345; }

TEST_F(KernelTest, ProcessorProviderCanBeReplaced) {
  // The default reads the real processor, whose counter follows the virtual clock on this host.
  EXPECT_TRUE(host::ProcessorHasCpuid());
  EXPECT_GE(host::ProcessorCpuid(0).eax, 1u);
  headless::SetReadStepMicroseconds(0);
  uint64_t t0 = host::ProcessorReadTimeStampCounter();
  Sleep(500);
  EXPECT_EQ(host::ProcessorReadTimeStampCounter() - t0, 500000000u);

  host::ProcessorProvider fake{&NoCpuid, &FakeCpuid, &FixedCounter};
  host::SetProcessorProvider(&fake);
  EXPECT_FALSE(host::ProcessorHasCpuid());
  host::CpuidResult vendor = host::ProcessorCpuid(0);
  char text[13] = {};
  std::memcpy(text, &vendor.ebx, 4);
  std::memcpy(text + 4, &vendor.edx, 4);
  std::memcpy(text + 8, &vendor.ecx, 4);
  EXPECT_STREQ(text, "FakeProcUnit");
  EXPECT_EQ(host::ProcessorReadTimeStampCounter(), 12345u);
  host::SetProcessorProvider(nullptr);
  EXPECT_TRUE(host::ProcessorHasCpuid());
}

TEST_F(KernelTest, StartingAgainForgetsTheProvider) {
  host::ProcessorProvider fake{&NoCpuid, &FakeCpuid, &FixedCounter};
  host::SetProcessorProvider(&fake);
  RestartHeadless({});
  EXPECT_TRUE(host::ProcessorHasCpuid());
}

}  // namespace
