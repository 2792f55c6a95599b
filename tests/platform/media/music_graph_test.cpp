// The music graph on a device that pulls its mix on its own thread (SDL's dummy audio driver, paced as real
// audio), where the graph decodes on a thread of its own: ends told through the pump, seeks, loops switched on
// and off, graphs released while they play. The ThreadSanitizer stage runs it too. Every wait is on a condition,
// bounded only against a graph that never gets there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/headless/headless_host.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/host/sdl/sdl_host.h"
#include "platform/media/dshow.h"
#include "platform/media/mci.h"
#include "platform/media/mixer.h"
#include "platform/win32/messages.h"
#include "platform/win32/user.h"
#include "support/midi_writers.h"
#include "support/scratch_directory.h"

using namespace testing_support;

namespace {

constexpr UINT kNotify = WM_USER + 0x122;
std::map<LPARAM, int> notices;  // the notify messages dispatched, by graph
int songEnds = 0;               // the sequencer's notices of a song played to its end

LRESULT Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kNotify) ++notices[lparam];
  if (message == MM_MCINOTIFY && wparam == MCI_NOTIFY_SUCCESSFUL) ++songEnds;
  return DefWindowProcA(window, message, wparam, lparam);
}

// A graph made, rendered and told of as the library does: the loop is switched on just after the file is
// rendered, and the graph runs.
struct Graph {
  Graph(const std::string& path, LONG_PTR id, HWND window, bool loop) {
    if (CreateFilterGraphInstance(IID_IGraphBuilder, reinterpret_cast<void**>(&builder)) != S_OK) return;
    builder->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    builder->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events));
    builder->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
    const std::u16string wide(path.begin(), path.end());
    if (builder->RenderFile(wide.c_str(), nullptr) != S_OK) return;
    if (loop) seeking->SetLooping(TRUE);
    control->Run();
    events->SetNotifyWindow(reinterpret_cast<OAHWND>(window), kNotify, id);
    playing = true;
  }
  ~Graph() {
    for (IUnknown* i : {static_cast<IUnknown*>(seeking), static_cast<IUnknown*>(events),
                        static_cast<IUnknown*>(control), static_cast<IUnknown*>(builder)}) {
      if (i) i->Release();
    }
  }
  std::vector<long> Events() {
    std::vector<long> codes;
    long code = 0;
    LONG_PTR first = 0, second = 0;
    while (events->GetEvent(&code, &first, &second, 0) == S_OK) codes.push_back(code);
    return codes;
  }
  void Seek(LONGLONG hundredNanoseconds) {
    seeking->SetPositions(&hundredNanoseconds, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  }
  IGraphBuilder* builder = nullptr;
  IMediaControl* control = nullptr;
  IMediaEventEx* events = nullptr;
  IMediaSeeking* seeking = nullptr;
  bool playing = false;
};

class MusicGraphThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    host::ResetPlatform(host::CreateSdlHost());
    ASSERT_TRUE(host::Current().Audio().PullsOnItsOwnThread()) << host::Current().Audio().DeviceName();
    WNDCLASSEXA c{};
    c.lpfnWndProc = &Proc;
    c.lpszClassName = "GraphThread";
    ASSERT_NE(RegisterClassExA(&c), 0);
    window = CreateWindowExA(0, "GraphThread", "t", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    notices.clear();
    songEnds = 0;
  }
  void TearDown() override {
    headless::Start();  // closes the SDL host and its device
    unsetenv("SDL_AUDIODRIVER");
  }
  // Pumps as a program does, moving the cursor between looks, until `done` holds; false after half a minute.
  template <class Condition>
  bool PumpUntil(Condition done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int i = 0; std::chrono::steady_clock::now() < limit; ++i) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
      if (done()) return true;
      SetCursorPos(i % 640, i % 480);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return false;
  }
  static uint64_t Rendered() { return host::Current().Audio().mixer().FramesRendered(); }
  std::string File(const char* name, int frames) {
    const std::string path = dir.path() + "/" + name;
    WriteBytes(path, RampWave(frames));
    return path;
  }
  ScratchDirectory dir;
  HWND window = nullptr;
};

}  // namespace

// A tenth of a second played once ends with one notice and EC_COMPLETE, again after a seek to the start, and at
// once after a seek past its end.
TEST_F(MusicGraphThreadTest, AnEndIsToldOnceAndAgainAfterEachSeek) {
  Graph once(File("tenth.wav", 4410), 1, window, false);
  ASSERT_TRUE(once.playing);
  for (LONGLONG seek : {-1LL, 0LL, 10000000LL}) {
    if (seek >= 0) once.Seek(seek);
    const int told = notices[1];
    ASSERT_TRUE(PumpUntil([&] { return notices[1] > told; })) << seek;
    EXPECT_EQ(once.Events(), std::vector<long>{EC_COMPLETE}) << seek;
    EXPECT_EQ(notices[1], told + 1) << seek;
  }
}

// A song's end, found as the device's thread mixes, is told through the pump too.
TEST_F(MusicGraphThreadTest, ASongsEndIsToldThroughThePump) {
  const std::string path = dir.path() + "/tenth.mid";
  WriteBytes(path, MidiFile(0, 96, {Track().Event(0, {0xC0, 0}).Event(0, {0x90, 60, 100}).End(20)}));
  MCI_OPEN_PARMSA open{};
  open.lpstrDeviceType = "sequencer";
  open.lpstrElementName = path.c_str();
  ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open)), 0u);
  MCI_PLAY_PARMS play{};
  play.dwCallback = reinterpret_cast<DWORD_PTR>(window);
  EXPECT_EQ(mciSendCommandA(open.wDeviceID, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play)), 0u);
  EXPECT_TRUE(PumpUntil([] { return songEnds == 1; }));
  mciSendCommandA(open.wDeviceID, MCI_CLOSE, 0, 0);
}

// A loop switched on while the decoding thread seeks near the end of a long file and decodes past it is kept:
// the graph goes on from its start instead of ending (it is stopped meanwhile, so no end can come first); switched
// off, the graph ends. Short files looped as the library loops them, the loop switched on just after the first
// frames are decoded, never end either; graphs released while they play stop their threads.
TEST_F(MusicGraphThreadTest, ALoopSwitchedOnWhileTheThreadDecodesIsKept) {
  constexpr int kLong = 44100 * 20, kShort = 3000;
  Graph tail(File("long.wav", kLong), 2, window, false);
  ASSERT_TRUE(tail.playing);
  for (int i = 0; i < 6; ++i) {
    tail.control->Stop();
    tail.seeking->SetLooping(FALSE);
    tail.Seek((kLong - 1000) * 10000000LL / 44100);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);  // the thread takes the seek meanwhile
    tail.seeking->SetLooping(TRUE);
    tail.control->Run();
    const uint64_t from = Rendered();
    ASSERT_TRUE(PumpUntil([&] { return Rendered() >= from + 3072; }));
    EXPECT_EQ(notices[2], 0) << i;
    EXPECT_EQ(tail.Events(), std::vector<long>{}) << i;
  }
  // Switched off again, the loop lets the graph end.
  tail.seeking->SetLooping(FALSE);
  tail.Seek((kLong - 1000) * 10000000LL / 44100);
  ASSERT_TRUE(PumpUntil([] { return notices[2] == 1; }));
  EXPECT_EQ(tail.Events(), std::vector<long>{EC_COMPLETE});

  const std::string path = File("short.wav", kShort);
  std::vector<std::unique_ptr<Graph>> graphs;
  for (int i = 0; i < 16; ++i) graphs.push_back(std::make_unique<Graph>(path, 100 + i, window, true));
  const uint64_t from = Rendered();
  ASSERT_TRUE(PumpUntil([&] { return Rendered() >= from + 3 * kShort; }));
  for (int i = 0; i < 16; ++i) {
    ASSERT_TRUE(graphs[i]->playing);
    EXPECT_EQ(notices[100 + i], 0) << i;
    EXPECT_EQ(graphs[i]->Events(), std::vector<long>{}) << i;
  }
  graphs.clear();  // while they play
}
