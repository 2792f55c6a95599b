#include <gtest/gtest.h>

#include "graphics/direct3d/d3d_services.h"

namespace {

GraphCreateParams Params(int depth, int drawValid, int alpha, int alphaTest) {
  GraphCreateParams params{};
  params.ColorBitDepth = static_cast<uint8_t>(depth);
  params.DrawValid = static_cast<uint8_t>(drawValid);
  params.AlphaChFlag = static_cast<uint8_t>(alpha);
  params.AlphaTestFlag = static_cast<uint8_t>(alphaTest);
  return params;
}

TEST(Direct3DServicesTest, TextureFormatIndexFollowsDepthAlphaAndAlphaTest) {
  struct Case {
    GraphCreateParams params;
    int index;
  } cases[] = {
      {Params(16, 0, 0, 0), 0}, {Params(32, 0, 0, 0), 1}, {Params(16, 0, 1, 0), 2}, {Params(32, 0, 1, 1), 3},
      {Params(16, 0, 0, 1), 4}, {Params(32, 0, 0, 1), 5}, {Params(16, 1, 1, 1), 0}, {Params(8, 1, 0, 0), 1},
  };
  for (const Case& c : cases) EXPECT_EQ(GetTextureFormatIndex(&c.params), c.index);
}

}  // namespace
