// The mixer and the clock-paced output through their own interface, with sources made here: sums clamped once,
// sources added once, frames nobody hears skipped and counted, the output rendering what its clock makes due,
// and stopping at an end a source tells of, but never more than a tenth of a second behind its clock.
#include "platform/media/mixer.h"

#include <gtest/gtest.h>

namespace {

// Adds `value` to both channels of every frame; tells an end `endsAfter` frames on when it is set.
class Constant final : public media::MixerSource {
 public:
  explicit Constant(int32_t value, bool ownSkip = true) : value_(value), ownSkip_(ownSkip) {}
  void MixInto(int32_t* mix, int frames) override {
    for (int i = 0; i < 2 * frames; ++i) mix[i] += value_;
    mixed += static_cast<uint64_t>(frames);
    Move(frames);
  }
  void Skip(int frames) override {
    if (!ownSkip_) return MixerSource::Skip(frames);
    skipped += static_cast<uint64_t>(frames);
    Move(frames);
  }
  uint64_t FramesBeforeToldEnd() override { return toldEnd.FramesBefore(left > 0, left); }
  uint64_t mixed = 0, skipped = 0;
  uint64_t left = 0;  // frames before a told end; 0: none
  media::ToldEnd toldEnd;

 private:
  void Move(int frames) {
    toldEnd.Mixing(frames);
    if (left == 0) return;
    const bool ends = static_cast<uint64_t>(frames) >= left;
    if (ends) toldEnd.Reached(static_cast<uint64_t>(frames) == left, true);
    left = ends ? 0 : left - static_cast<uint64_t>(frames);
  }
  int32_t value_;
  bool ownSkip_;
};

class Output final : public media::ClockedOutput {
 public:
  using ClockedOutput::ClockedOutput;
  const char* DeviceName() const override { return "test"; }
};

TEST(MixerTest, SumsClampOnceSourcesCountOnceAndSkippedFramesCount) {
  struct Case {
    std::vector<int32_t> values;
    int16_t heard;
  };
  const Case cases[] = {{{}, 0},
                        {{20000, 20000}, 32767},
                        {{-20000, -20000}, -32768},
                        {{30000, 30000, -30000}, 30000},  // clamped once, after the sum
                        {{-7, 5}, -2}};
  for (const Case& c : cases) {
    media::Mixer mixer;
    std::vector<std::shared_ptr<Constant>> sources;
    for (int32_t v : c.values) {
      sources.push_back(std::make_shared<Constant>(v));
      mixer.Add(sources.back());
      mixer.Add(sources.back());  // once only
    }
    EXPECT_EQ(mixer.SourceCount(), c.values.size());
    int16_t out[2 * 3] = {1, 1, 1, 1, 1, 1};
    mixer.Render(out, 3);
    for (int16_t sample : out) EXPECT_EQ(sample, c.heard) << c.values.size();
  }

  media::Mixer mixer;
  auto own = std::make_shared<Constant>(1), plain = std::make_shared<Constant>(1, false);
  mixer.Add(own), mixer.Add(plain), mixer.Add(nullptr);
  const Constant stranger(1);
  mixer.Remove(&stranger);
  EXPECT_EQ(mixer.SourceCount(), 2u);
  int16_t out[2];
  mixer.Render(out, 0);
  mixer.Render(out, -1);
  EXPECT_EQ(mixer.FramesRendered(), 0u);
  EXPECT_EQ(own->mixed + plain->mixed, 0u);
  mixer.Skip(10000);  // a source without its own skip mixes the frames into scratch
  EXPECT_EQ(own->skipped, 10000u);
  EXPECT_EQ(plain->mixed, 10000u);
  mixer.Remove(plain.get());
  const uint64_t many = (uint64_t{3} << 30) + 5;
  mixer.Skip(many);
  EXPECT_EQ(own->skipped, 10000u + many);
  EXPECT_EQ(mixer.FramesRendered(), 10000u + many);
  EXPECT_EQ(plain->mixed, 10000u);
}

// A told end: 0 from it until answered or a later frame is mixed, and only when told on the mix's last frame.
TEST(MixerTest, ToldEndStandsAtTheEndUntilAnsweredOrPassed) {
  media::ToldEnd end;
  EXPECT_EQ(end.FramesBefore(false, 5), media::MixerSource::kNoToldEnd);
  EXPECT_EQ(end.FramesBefore(true, 5), 5u);
  EXPECT_EQ(end.FramesBefore(true, 0), 1u);
  end.Reached(false, true);
  end.Reached(true, false);
  EXPECT_FALSE(end.Pending());
  end.Reached(true, true);
  EXPECT_TRUE(end.Pending());
  EXPECT_EQ(end.FramesBefore(false, 5), 0u);
  end.Mixing(0);
  EXPECT_TRUE(end.Pending());
  end.Mixing(1);
  EXPECT_FALSE(end.Pending());
  end.Reached(true, true);
  end.Answered();
  EXPECT_EQ(end.FramesBefore(true, 7), 7u);
}

// Frame i is due at origin + i / 44,100 s; after a long jump only the last exact frames are rendered; an update
// that stops at told ends holds at one until it is answered or a plain update passes it, unless the end lies
// more than a tenth of a second (4,410 frames) behind the clock.
TEST(MixerTest, TheClockedOutputRendersWhatIsDueAndHoldsAtAToldEndBriefly) {
  auto nanosecondsAt = [](uint64_t frame) { return (frame * 1000000000 + 44099) / 44100; };  // frame due then
  struct Case {
    uint64_t endAt;  // the told end's frame
    uint64_t due;
    uint64_t heldAt;  // frames rendered by the update that stops at told ends
  };
  const Case cases[] = {{1000, 5410, 1000},   // 4,410 behind: held
                        {1000, 5411, 5411},   // 4,411 behind: played through
                        {1000, 1000, 1000},   // at the clock
                        {5000, 5000, 5000},   // past a chunk
                        {9000, 5000, 5000}};  // not due yet
  for (const Case& c : cases) {
    SCOPED_TRACE(c.due);
    uint64_t now = 777;
    uint64_t heard = 0;
    Output output([&now] { return now; },
                                [&heard](const int16_t*, int frames) { heard += static_cast<uint64_t>(frames); },
                                1u << 20);
    auto source = std::make_shared<Constant>(3);
    source->left = c.endAt;
    output.mixer().Add(source);
    now = 777 + nanosecondsAt(c.due);
    output.UpdateUntilToldEnd();
    EXPECT_EQ(heard, c.heldAt);
    output.UpdateUntilToldEnd();  // still at the end
    EXPECT_EQ(heard, c.heldAt);
    output.Update();
    EXPECT_EQ(heard, c.due);
    EXPECT_EQ(source->mixed, c.due);
  }

  uint64_t now = 0, heard = 0;
  Output output([&now] { return now; },
                              [&heard](const int16_t*, int frames) { heard += static_cast<uint64_t>(frames); }, 4410);
  auto source = std::make_shared<Constant>(3);
  output.mixer().Add(source);
  now = 1000000;  // 44.1 frames
  output.Update();
  EXPECT_EQ(heard, 44u);
  now = 10000000000;  // ten seconds: all but the last tenth skipped
  output.Update();
  EXPECT_EQ(heard, 44u + 4410);
  EXPECT_EQ(source->skipped, 441000u - 4410 - 44);
  EXPECT_EQ(output.mixer().FramesRendered(), 441000u);
}

}  // namespace
