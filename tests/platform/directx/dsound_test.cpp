// DirectSound buffers heard through the headless host's captured mix: exact samples at exact frames, looping
// without a gap, stopping at the end, 8-bit and mono conversion, resampling, wrap-around locks and clamping.
#include <cstring>
#include <vector>

#include "platform/directx/dsound.h"
#include "support/headless_fixture.h"

namespace {

class DirectSoundTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    headless::SetReadStepMicroseconds(0);  // the clock moves only when the test moves it: frames are exact
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound,
                               reinterpret_cast<void**>(&ds_)),
              S_OK);
    ASSERT_EQ(ds_->Initialize(nullptr), S_OK);
    ASSERT_EQ(ds_->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), S_OK);
  }
  void TearDown() override {
    for (auto* b : buffers_) b->Release();
    ds_->Release();
    CoUninitialize();
    HeadlessTest::TearDown();
  }
  // A buffer holding these bytes.
  IDirectSoundBuffer* Buffer(WORD channels, WORD bits, DWORD rate, const std::vector<uint8_t>& bytes) {
    WAVEFORMATEX f{WAVE_FORMAT_PCM, channels, rate, 0, static_cast<WORD>(channels * bits / 8), bits, 0};
    f.nAvgBytesPerSec = f.nBlockAlign * rate;
    DSBUFFERDESC d{sizeof d, DSBCAPS_STATIC, static_cast<DWORD>(bytes.size()), 0, &f, {}};
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), S_OK);
    void *p1, *p2;
    DWORD n1, n2;
    EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), S_OK);
    std::memcpy(p1, bytes.data(), n1);
    EXPECT_EQ(b->Unlock(p1, n1, p2, n2), S_OK);
    buffers_.push_back(b);
    return b;
  }
  static std::vector<uint8_t> Stereo16(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
  }
  // The frame that plays now.
  static uint64_t Now() { return headless::Audio().FrameAtNanoseconds(headless::Nanoseconds()); }
  static DWORD Status(IDirectSoundBuffer* b) {
    DWORD s = 99;
    EXPECT_EQ(b->GetStatus(&s), S_OK);
    return s;
  }
  IDirectSound* ds_ = nullptr;
  std::vector<IDirectSoundBuffer*> buffers_;
};

TEST_F(DirectSoundTest, LoopingBufferRepeatsWithoutAGapAndStopsWhereItIs) {
  std::vector<int16_t> ramp;
  for (int i = 0; i < 100; ++i) ramp.insert(ramp.end(), {static_cast<int16_t>(i * 10), static_cast<int16_t>(-i)});
  IDirectSoundBuffer* b = Buffer(2, 16, 44100, Stereo16(ramp));
  headless::AdvanceMilliseconds(3);
  const uint64_t start = Now();
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), S_OK);
  EXPECT_EQ(Status(b), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
  headless::AdvanceMilliseconds(10);  // 441 frames: four passes and 41 frames
  const headless::CapturedAudio& a = headless::Audio();
  EXPECT_EQ(a.Sample(start - 1, 0), 0);
  for (uint64_t f = 0; f < 441; ++f) {
    ASSERT_EQ(a.Sample(start + f, 0), static_cast<int16_t>(f % 100 * 10)) << f;
    ASSERT_EQ(a.Sample(start + f, 1), static_cast<int16_t>(-static_cast<int>(f % 100))) << f;
  }
  DWORD play = 0, write = 0;
  ASSERT_EQ(b->GetCurrentPosition(&play, &write), S_OK);
  EXPECT_EQ(play, (Now() - start) % 100 * 4);
  ASSERT_EQ(b->Stop(), S_OK);
  EXPECT_EQ(Status(b), 0u);
  DWORD stopped = 0;
  headless::AdvanceMilliseconds(5);
  b->GetCurrentPosition(&stopped, nullptr);
  EXPECT_EQ(stopped, play);
  EXPECT_EQ(headless::Audio().Sample(Now() - 1, 0), 0);
}

TEST_F(DirectSoundTest, OncePlaysToTheEndThenRewinds) {
  IDirectSoundBuffer* b = Buffer(2, 16, 44100, Stereo16(std::vector<int16_t>(200, 1000)));
  const uint64_t start = Now();
  ASSERT_EQ(b->Play(0, 0, 0), S_OK);
  headless::AdvanceMilliseconds(5);
  const headless::CapturedAudio& a = headless::Audio();
  EXPECT_EQ(a.Sample(start + 99, 1), 1000);
  EXPECT_EQ(a.Sample(start + 100, 1), 0);
  EXPECT_EQ(Status(b), 0u);
  DWORD play = 1;
  b->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 0u);
}

TEST_F(DirectSoundTest, EightBitMonoAndHalfRateReachBothChannels) {
  IDirectSoundBuffer* eight = Buffer(1, 8, 44100, {0x80, 0xFF, 0x00, 0x90});
  IDirectSoundBuffer* half = Buffer(1, 16, 22050, Stereo16({100, 300, -500, 700}));
  const uint64_t start = Now();
  eight->Play(0, 0, 0);
  half->Play(0, 0, 0);
  headless::AdvanceMilliseconds(1);
  const headless::CapturedAudio& a = headless::Audio();
  // 8-bit: (byte - 128) * 256; half rate: each frame, then the midpoint towards the next (the last held).
  const int expected[] = {0 + 100, 127 * 256 + 200, -128 * 256 + 300, 16 * 256 - 100, -500, 100, 700, 700, 0};
  for (int f = 0; f < 9; ++f) {
    EXPECT_EQ(a.Sample(start + f, 0), expected[f]) << f;
    EXPECT_EQ(a.Sample(start + f, 1), expected[f]) << f;
  }
}

TEST_F(DirectSoundTest, ALongJumpOfTheClockKeepsLoopsInStepAndTinyFastBuffersInBounds) {
  IDirectSoundBuffer* tiny = Buffer(2, 16, 100000, Stereo16({500, 500}));  // one frame, more than two a step
  IDirectSoundBuffer* loop = Buffer(2, 16, 44100, Stereo16({1, 0, 2, 0, 3, 0}));
  const uint64_t start = Now();
  tiny->Play(0, 0, DSBPLAY_LOOPING);
  loop->Play(0, 0, DSBPLAY_LOOPING);
  headless::AdvanceMilliseconds(1000 * 60 * 10);  // far beyond what the capture keeps: skipped, not mixed
  const uint64_t now = Now();
  headless::AdvanceMilliseconds(1);
  EXPECT_EQ(headless::Audio().Sample(now, 0), 500 + static_cast<int>((now - start) % 3) + 1);
  EXPECT_EQ(headless::Audio().Sample(start, 0), 0);  // long gone from the capture
}

TEST_F(DirectSoundTest, SumsClampAtSixteenBits) {
  IDirectSoundBuffer* x = Buffer(2, 16, 44100, Stereo16({30000, -30000}));
  IDirectSoundBuffer* y = Buffer(2, 16, 44100, Stereo16({30000, -30000}));
  const uint64_t start = Now();
  x->Play(0, 0, 0);
  y->Play(0, 0, 0);
  headless::AdvanceMilliseconds(1);
  EXPECT_EQ(headless::Audio().Sample(start, 0), 32767);
  EXPECT_EQ(headless::Audio().Sample(start, 1), -32768);
}

TEST_F(DirectSoundTest, LocksWrapAroundAndRefuseBadRanges) {
  IDirectSoundBuffer* b = Buffer(2, 16, 44100, std::vector<uint8_t>(400));
  void *p1 = nullptr, *p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  ASSERT_EQ(b->Lock(300, 200, &p1, &n1, &p2, &n2, 0), S_OK);
  EXPECT_EQ(n1, 100u);
  EXPECT_EQ(n2, 100u);
  EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), 300);
  EXPECT_EQ(b->Unlock(p1, n1, p2, n2), S_OK);
  EXPECT_EQ(b->Lock(400, 4, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Lock(0, 401, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  ASSERT_EQ(b->Lock(0, 16, &p1, &n1, &p2, &n2, 0), S_OK);
  EXPECT_EQ(p2, nullptr);
  EXPECT_EQ(n2, 0u);
}

TEST_F(DirectSoundTest, RefusesFormatsItCannotPlayAndReportsItsDevice) {
  WAVEFORMATEX f{WAVE_FORMAT_PCM, 3, 44100, 0, 6, 16, 0};
  DSBUFFERDESC d{sizeof d, 0, 64, 0, &f, {}};
  IDirectSoundBuffer* b = nullptr;
  EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DSERR_BADFORMAT);
  f = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  d.dwBufferBytes = 0;
  EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM);
  std::string seen;
  auto report = [](GUID* guid, LPCSTR description, LPCSTR, LPVOID context) -> BOOL {
    *static_cast<std::string*>(context) += std::string(description) + (guid ? "+" : "");
    return TRUE;
  };
  ASSERT_EQ(DirectSoundEnumerateA(report, &seen), S_OK);
  EXPECT_EQ(seen, "headless");
}

}  // namespace
