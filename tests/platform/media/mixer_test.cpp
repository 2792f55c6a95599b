// A device-pulled render stops at an end a source tells of until the program answers, so the restart follows the
// end's last frame with no gap; a program that does not answer in time gets the rest rendered as it stands.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/media/mixer.h"

namespace {

// Plays a ramp of `length` frames (value = position + 1 on both channels) and tells of its end; a restart
// (the program's answer) starts the ramp again; unanswered, it adds silence.
class RampSource final : public media::MixerSource {
 public:
  explicit RampSource(int length) : length_(length) {}
  void MixInto(int32_t* mix, int frames) override {
    for (int i = 0; i < frames; ++i) {
      if (position_ < length_) {
        mix[2 * i] += position_ + 1;
        mix[2 * i + 1] += position_ + 1;
        ++position_;
      }
    }
  }
  uint64_t FramesBeforeToldEnd() override { return static_cast<uint64_t>(length_ - position_); }
  void Restart() { position_ = 0; }

 private:
  int length_;
  int position_ = 0;
};

struct Case {
  int length, frames, answerAfterRests, restBudget;
  std::vector<int16_t> expectedLeft;
};

TEST(MixerTest, PulledRenderWaitsAtAToldEndForTheAnswer) {
  const Case cases[] = {
      // Answered on the second rest: the ramp restarts on the frame after its end.
      {3, 8, 2, 5, {1, 2, 3, 1, 2, 3, 1, 2}},
      // Answered at once, the end falling on the buffer's last frame.
      {4, 4, 1, 5, {1, 2, 3, 4}},
      // Never answered within the budget: the rest of the buffer is rendered as it stands.
      {3, 6, 100, 3, {1, 2, 3, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    media::Mixer mixer;
    auto source = std::make_shared<RampSource>(c.length);
    mixer.Add(source);
    int rests = 0;
    std::vector<int16_t> out(static_cast<size_t>(c.frames) * 2, -1);
    mixer.RenderAnsweringToldEnds(out.data(), c.frames, [&] {
      ++rests;
      if (rests % c.answerAfterRests == 0) source->Restart();
      return rests < c.restBudget;
    });
    std::vector<int16_t> left;
    for (int i = 0; i < c.frames; ++i) {
      left.push_back(out[2 * i]);
      EXPECT_EQ(out[2 * i], out[2 * i + 1]);
    }
    EXPECT_EQ(left, c.expectedLeft) << "ramp of " << c.length << " into " << c.frames;
    EXPECT_EQ(mixer.FramesRendered(), static_cast<uint64_t>(c.frames));
  }
}

TEST(MixerTest, PulledRenderWithoutToldEndsNeverRests) {
  media::Mixer mixer;
  std::vector<int16_t> out(64, -1);
  bool rested = false;
  mixer.RenderAnsweringToldEnds(out.data(), 32, [&] { return rested = true; });
  EXPECT_FALSE(rested);
  EXPECT_EQ(out, std::vector<int16_t>(64, 0));
}

}  // namespace
