// The movie stream under the movie table: frames written exactly into the caller's pixels, never past them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/graph_image.h"
#include "platform/media/movie_stream.h"
#include "support/headless_fixture.h"
#include "support/movie_bytes.h"
#include "support/movie_writer.h"

namespace {

class MovieStreamTest : public HeadlessTest {};

// The scaler stores whole vector blocks: at widths that are no multiple of 16 it wrote past the last row.
TEST_F(MovieStreamTest, FramesOfEveryWidthStayInsideTheCallersPixels) {
  for (int width : {40, 34, 18, 64}) {
    testing_support::MovieShape shape = testing_support::CoarseAvi();
    shape.width = width;
    const std::string path = workDir() + "/w" + std::to_string(width) + ".avi";
    ASSERT_TRUE(testing_support::WriteMovie(path, shape));
    const std::string file = testing_support::FileBytes(path);
    testing_support::MovieBytes bytes{reinterpret_cast<const uint8_t*>(file.data()), int64_t(file.size())};
    media::MovieStream* stream =
        media::OpenMovieStream(bytes.Source(), media::MovieLimits{kPictureMaxSide, kPictureMaxPixels});
    ASSERT_NE(stream, nullptr) << width;
    ASSERT_EQ(media::MovieWidth(stream), width);
    const int height = media::MovieHeight(stream), frameBytes = width * height * 4;
    constexpr int kGuard = 256;
    std::vector<uint8_t> pixels(frameBytes + kGuard, 0xA5);
    EXPECT_EQ(media::MovieFrameAt(stream, 150, pixels.data(), width * 4), 1);
    int overwritten = 0;
    for (int i = frameBytes; i < frameBytes + kGuard; i++) overwritten += pixels[i] != 0xA5;
    EXPECT_EQ(overwritten, 0) << width;
    // Frame 1 is plain green: its last pixel, X8R8G8B8 in memory as B, G, R, X.
    EXPECT_LT(pixels[frameBytes - 4], 0x20) << width;
    EXPECT_GT(pixels[frameBytes - 3], 0xE0) << width;
    EXPECT_LT(pixels[frameBytes - 2], 0x20) << width;
    media::CloseMovieStream(stream);
  }
}

}  // namespace
