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

TEST(Direct3DServicesTest, TextureFormatTablesAreDefined) {
  const ColorFormat* plain16 = GetTextureColorData(0);
  ASSERT_NE(plain16, nullptr);
  EXPECT_EQ(plain16->bitDepth, 16);
  EXPECT_EQ(plain16->greenMask, 0x07E0u);
  const TextureFormatRecord* alpha16 = SelectTextureFormatByFlags(1, 0, 16, 0);
  ASSERT_NE(alpha16, nullptr);
  EXPECT_EQ(alpha16->colorFormat.alphaWidth, 4);
  EXPECT_EQ(alpha16->colorFormat.redWidth, 4);
  EXPECT_EQ(alpha16->pixelFormat.dwRGBAlphaBitMask, 0xF000u);
  const TextureFormatRecord* test16 = SelectTextureFormatByFlags(0, 1, 16, 0);
  EXPECT_EQ(test16->colorFormat.alphaWidth, 1);
  EXPECT_EQ(test16->colorFormat.redWidth, 5);
  EXPECT_EQ(GetTextureFormatRecord(3)->colorFormat.alphaMask, 0xFF000000u);
  EXPECT_EQ(GetTextureFormatRecord(6), nullptr);
  EXPECT_EQ(GetTextureFormatRecord(-1), nullptr);
  EXPECT_EQ(GetZBufferPixelFormat(16)->dwZBufferBitDepth, 16u);
}

TEST(Direct3DServicesTest, WithoutADeviceEveryEntryGivesItsNoDeviceAnswer) {
  EXPECT_EQ(G_D3D_DeleteAllGraphTextures(), -1);
  EXPECT_EQ(G_D3D_CreateGraphTextures(nullptr), -1);
  EXPECT_EQ(G_D3D_ClearDrawTarget(), -1);
  EXPECT_EQ(G_D3D_SelectDrawTarget(-2), 0);
  EXPECT_EQ(G_D3D_ApplyBlendMode(1, 128), 0);
  EXPECT_EQ(G_D3D_ApplyClipRect(nullptr), -1);
  EXPECT_EQ(FlushCurrentD3DVertexBatch(), -1);
  EXPECT_EQ(EndDirect3DLayer(), -1);
  EXPECT_EQ(GetCurrentD3DDeviceInterface(), nullptr);
  EXPECT_EQ(LookupSurface3DData(0x30000000), nullptr);
  EXPECT_EQ(G_D3D_DrawFillBox(0, 0, 4, 4, 0), -1);
}

}  // namespace
