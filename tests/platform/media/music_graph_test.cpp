// The music graph on a device that pulls its mix on its own thread (SDL's dummy audio driver, paced as real
// audio), where the graph decodes on a thread of its own, and a song beside it. The ThreadSanitizer stage runs it
// too. Every wait is on a condition, bounded only against a graph that never gets there.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>  // std::chrono::steady_clock
#include <vector>

#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/host/sdl/sdl_host.h"
#include "platform/media/dshow.h"
#include "platform/media/mci.h"
#include "platform/media/mixer.h"
#include "platform/win32/kernel.h"
#include "platform/win32/messages.h"
#include "platform/win32/user.h"
#include "support/headless_fixture.h"
#include "support/midi_writers.h"

using namespace testing_support;

namespace {

constexpr UINT kNotify = WM_USER + 0x122;
HWND window = nullptr;

// The bytes read from one file through std::fread, as the music decoder reads; the first read that starts at or
// past `holdFrom` waits until let go.
struct WatchedReads {
  std::atomic<bool> on{false};
  std::mutex lock;
  std::condition_variable changed;
  dev_t device = 0;
  ino_t inode = 0;
  off_t holdFrom = 0;
  uint64_t bytes = 0;
  bool held = false, letGo = false;
} watched;

// A graph made, rendered and told of as the library does: a loop is switched on just after the file is rendered.
struct Graph {
  Graph(const std::string& path, LONG_PTR id, bool loop) {
    CreateFilterGraphInstance(IID_IGraphBuilder, reinterpret_cast<void**>(&builder));
    builder->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    builder->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events));
    builder->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
    playing = builder->RenderFile(std::u16string(path.begin(), path.end()).c_str(), nullptr) == S_OK;
    if (loop) seeking->SetLooping(TRUE);
    control->Run();
    events->SetNotifyWindow(reinterpret_cast<OAHWND>(window), kNotify, id);
  }
  ~Graph() { seeking->Release(), events->Release(), control->Release(), builder->Release(); }
  long Event() {  // the next event's code; 0: none
    long code = 0;
    LONG_PTR first, second;
    return events->GetEvent(&code, &first, &second, 0) == S_OK ? code : 0;
  }
  IGraphBuilder* builder = nullptr;
  IMediaControl* control = nullptr;
  IMediaEventEx* events = nullptr;
  IMediaSeeking* seeking = nullptr;
  bool playing = false;
};

class MusicGraphThreadTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    host::ResetPlatform(host::CreateSdlHost());  // the base's tear-down closes it
    ASSERT_TRUE(host::Current().Audio().PullsOnItsOwnThread()) << host::Current().Audio().DeviceName();
    WNDCLASSEXA c{};
    c.lpfnWndProc = &DefWindowProcA;
    c.lpszClassName = "GraphThread";
    ASSERT_NE(RegisterClassExA(&c), 0);
    window = CreateWindowExA(0, "GraphThread", "t", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
  }
  // Pumps as a program does while active, counting the notices: it only looks at its queue, and moves the cursor
  // (which making a message reads) and sleeps between looks, until `done` holds; false when it takes so long that it
  // is a hang.
  template <class Condition>
  bool PumpUntil(Condition done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(kHangSeconds);
    for (int i = 0; std::chrono::steady_clock::now() < limit; ++i) {
      for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE); DispatchMessageA(&m)) {
        if (m.message == kNotify) ++notices[m.lParam];
        if (m.message == MM_MCINOTIFY && m.wParam == MCI_NOTIFY_SUCCESSFUL) ++notices[0];
      }
      if (done()) return true;
      SetCursorPos(i % 640, i % 480);
      Sleep(10);
    }
    return false;
  }
  bool PumpFrames(uint64_t frames) {
    const auto rendered = [] { return host::Current().Audio().mixer().FramesRendered(); };
    const uint64_t from = rendered();
    return PumpUntil([&] { return rendered() >= from + frames; });
  }
  std::map<LPARAM, int> notices;  // by graph; 0: the song's ends
};

}  // namespace

extern "C" size_t fread(void* out, size_t size, size_t count, FILE* stream) {
  static const auto next = reinterpret_cast<size_t (*)(void*, size_t, size_t, FILE*)>(dlsym(RTLD_NEXT, "fread"));
  struct stat file {};
  if (!watched.on || fstat(fileno(stream), &file) != 0 || file.st_ino != watched.inode ||
      file.st_dev != watched.device) {
    return next(out, size, count, stream);
  }
  std::unique_lock<std::mutex> guard(watched.lock);
  if (!watched.held && ftello(stream) >= watched.holdFrom) {
    watched.held = true;
    watched.changed.notify_all();
    watched.changed.wait(guard, [] { return watched.letGo; });
  }
  guard.unlock();
  const size_t got = next(out, size, count, stream);
  guard.lock();
  watched.bytes += got * size;
  return got;
}

// Ends are told through the pump, once: a song's, found as the device's thread mixes, and a graph's; one told to a
// window that is gone is dropped and holds back none after it. A loop switched
// on while the decoding thread seeks near the end of a long file and decodes past it is kept (the graph is stopped
// meanwhile, so no end can come first); switched off, the graph ends. Short files looped as the library loops them
// never end; graphs released while they play stop their threads.
TEST_F(MusicGraphThreadTest, ALoopSwitchedOnWhileTheThreadDecodesIsKept) {
  WriteBytes("tenth.mid", MidiFile(0, 96, {Track().Event(0, {0xC0, 0}).Event(0, {0x90, 60, 100}).End(20)}));
  MCI_OPEN_PARMSA open{0, 0, "sequencer", "tenth.mid", nullptr};
  ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open)), 0u);
  MCI_PLAY_PARMS play{reinterpret_cast<DWORD_PTR>(window), 0, 0};
  EXPECT_EQ(mciSendCommandA(open.wDeviceID, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play)), 0u);

  constexpr int kLong = 44100 * 20, kShort = 3000;
  LONGLONG nearEnd = (kLong - 1000) * 10000000LL / 44100;
  WriteBytes("long.wav", RampWave(kLong));
  Graph tail("long.wav", 2, false);
  ASSERT_TRUE(tail.playing);
  for (int i = 0; i < 6; ++i) {
    tail.control->Stop();
    tail.seeking->SetLooping(FALSE);
    tail.seeking->SetPositions(&nearEnd, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    Sleep(1);  // the thread takes the seek meanwhile
    tail.seeking->SetLooping(TRUE);
    tail.control->Run();
    ASSERT_TRUE(PumpFrames(3072));
    EXPECT_EQ(tail.Event(), 0) << i;
  }
  tail.seeking->SetLooping(FALSE);
  HWND gone = CreateWindowExA(0, "GraphThread", "g", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
  tail.events->SetNotifyWindow(reinterpret_cast<OAHWND>(gone), kNotify, 2);
  DestroyWindow(gone);
  tail.seeking->SetPositions(&nearEnd, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  ASSERT_TRUE(PumpUntil([&] { return tail.Event() == EC_COMPLETE; }));
  tail.events->SetNotifyWindow(reinterpret_cast<OAHWND>(window), kNotify, 2);
  tail.seeking->SetPositions(&nearEnd, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  ASSERT_TRUE(PumpUntil([&] { return notices[0] && notices[2]; }));
  EXPECT_EQ(tail.Event(), EC_COMPLETE);

  WriteBytes("short.wav", RampWave(kShort));
  std::vector<std::unique_ptr<Graph>> graphs;
  for (LONG_PTR id = 100; id < 116; ++id) graphs.push_back(std::make_unique<Graph>("short.wav", id, true));
  ASSERT_TRUE(PumpFrames(3 * kShort));
  for (auto& g : graphs) EXPECT_TRUE(g->playing && g->Event() == 0);
  EXPECT_EQ(notices, (std::map<LPARAM, int>{{0, 1}, {2, 1}}));
  graphs.clear();  // while they play
  mciSendCommandA(open.wDeviceID, MCI_CLOSE, 0, 0);
}

// A graph released while its decoding thread searches 64 MiB of damage after the music's first frames reads no
// further: the thread, held on its first read past the frames, is let go just as the graph is released.
TEST_F(MusicGraphThreadTest, AGraphReleasedInALongReadReadsNoFurther) {
  const Watchdog watchdog;
  Bytes frames;  // a quarter of a second of silent MPEG-1 Layer III frames, 128 kbit/s at 44,100 Hz
  for (int i = 0; i < 10; ++i) frames.insert(frames.end(), {0xFF, 0xFB, 0x90, 0x00}), frames.resize(417 * (i + 1));
  WriteBytes("damaged.mp3", frames);
  constexpr uint64_t kSize = 64 << 20;
  ASSERT_EQ(truncate("damaged.mp3", kSize), 0);  // sparse: the zeros take no disk
  struct stat file {};
  ASSERT_EQ(stat("damaged.mp3", &file), 0);
  watched.device = file.st_dev, watched.inode = file.st_ino, watched.holdFrom = static_cast<off_t>(frames.size());
  watched.bytes = 0, watched.held = watched.letGo = false, watched.on = true;
  struct Unwatch { ~Unwatch() { watched.on = false; } } unwatch;  // even when a check gives up
  auto graph = std::make_unique<Graph>("damaged.mp3", 3, true);
  ASSERT_TRUE(graph->playing);
  {
    std::unique_lock<std::mutex> guard(watched.lock);
    ASSERT_TRUE(watched.changed.wait_for(guard, std::chrono::seconds(kHangSeconds), [] { return watched.held; }));
    watched.letGo = true;
  }
  watched.changed.notify_all();
  graph.reset();
  EXPECT_LT(watched.bytes, kSize / 4);
}
