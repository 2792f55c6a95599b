#include <random>

#include "gdi_test_support.h"
#include "platform/win32/user.h"
#include "support/headless_fixture.h"

namespace {

// A section of any depth selected into its own context.
struct Section {
  HBITMAP bitmap = nullptr;
  uint8_t* bits = nullptr;
  HDC dc = nullptr;
  HGDIOBJ old = nullptr;
  explicit Section(DibInfo& d) {
    bitmap = CreateDIBSection(nullptr, d.info(), DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
  }
  ~Section() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
};

TEST(BitBlt, ConvertsBetweenDepths) {
  Canvas source(4, 1);
  Canvas back(4, 1);
  DibInfo d16(4, -1, 16, BI_BITFIELDS);
  d16.SetMasks(0xF800, 0x07E0, 0x001F);
  Section middle(d16);
  const uint32_t colours[4] = {0xFFFFFF, 0x84C610, 0x000000, 0x0F0F0F};
  for (int x = 0; x < 4; ++x) source.Set(x, 0, colours[x]);
  ASSERT_TRUE(BitBlt(middle.dc, 0, 0, 4, 1, source.dc(), 0, 0, SRCCOPY));
  uint16_t packed[4];
  std::memcpy(packed, middle.bits, sizeof packed);
  EXPECT_EQ(packed[0], 0xFFFF);
  EXPECT_EQ(packed[1], (0x84 >> 3) << 11 | (0xC6 >> 2) << 5 | 0x10 >> 3);
  EXPECT_EQ(packed[2], 0);
  ASSERT_TRUE(BitBlt(back.dc(), 0, 0, 4, 1, middle.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(back.At(0, 0), 0xFFFFFFu);
  EXPECT_EQ(back.At(1, 0), 0x84C710u);  // every channel widened by repeating its top bits
  EXPECT_EQ(back.At(3, 0), 0x080C08u);

  // Into a palette section: the nearest entry.
  DibInfo d8(2, -1, 8);
  d8.header().biClrUsed = 3;
  d8.SetColour(0, 0x000000);
  d8.SetColour(1, 0xFF0000);
  d8.SetColour(2, 0x0000F0);
  Section palette(d8);
  Canvas two(2, 1);
  const uint32_t reds[2] = {0xE01010, 0x1010FF};
  for (int x = 0; x < 2; ++x) two.Set(x, 0, reds[x]);
  ASSERT_TRUE(BitBlt(palette.dc, 0, 0, 2, 1, two.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(palette.bits[0], 1);
  EXPECT_EQ(palette.bits[1], 2);
}

TEST(BitBlt, ClipsToBothBitmapsAndMovesOverlaps) {
  const int w = 9, h = 7;
  std::mt19937 random(5);
  for (int round = 0; round < 300; ++round) {
    DibInfo d(w, -h, 24);
    Section s(d);
    int stride = (w * 3 + 3) / 4 * 4;
    for (int i = 0; i < stride * h; ++i) s.bits[i] = static_cast<uint8_t>(random());
    std::vector<uint8_t> before(s.bits, s.bits + stride * h);
    int x = static_cast<int>(random() % 15) - 4, y = static_cast<int>(random() % 13) - 4;
    int sx = static_cast<int>(random() % 15) - 4, sy = static_cast<int>(random() % 13) - 4;
    int cw = static_cast<int>(random() % 12), ch = static_cast<int>(random() % 10);
    ASSERT_TRUE(BitBlt(s.dc, x, y, cw, ch, s.dc, sx, sy, SRCCOPY));
    // Reference: every destination pixel whose source and destination lie inside takes the old source pixel.
    std::vector<uint8_t> expected = before;
    for (int j = 0; j < ch; ++j)
      for (int i = 0; i < cw; ++i) {
        int dx = x + i, dy = y + j, fx = sx + i, fy = sy + j;
        if (dx < 0 || dy < 0 || dx >= w || dy >= h || fx < 0 || fy < 0 || fx >= w || fy >= h) continue;
        std::memcpy(&expected[dy * stride + dx * 3], &before[fy * stride + fx * 3], 3);
      }
    for (int yy = 0; yy < h; ++yy)
      ASSERT_EQ(0, std::memcmp(&expected[yy * stride], s.bits + yy * stride, w * 3)) << round << " row " << yy;
  }
}

TEST(BitBlt, FillsAndRefusesWhatItCannotDo) {
  Canvas c(3, 3, 0x123456);
  EXPECT_TRUE(BitBlt(c.dc(), 1, 1, 5, 5, nullptr, 0, 0, WHITENESS));
  EXPECT_EQ(c.At(2, 2), 0xFFFFFFu);
  EXPECT_EQ(c.At(0, 0), 0x123456u);
  EXPECT_TRUE(BitBlt(c.dc(), -1, -1, 2, 2, nullptr, 0, 0, BLACKNESS));
  EXPECT_EQ(c.At(0, 0), 0u);
  EXPECT_FALSE(BitBlt(c.dc(), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(c.dc(), 0, 0, 1, 1, c.dc(), 0, 0, 0x00EE0086));
  EXPECT_FALSE(BitBlt(nullptr, 0, 0, 1, 1, c.dc(), 0, 0, SRCCOPY));
  EXPECT_TRUE(GdiFlush());
}

class GdiObjectsTest : public HeadlessTest {};

TEST_F(GdiObjectsTest, SelectionRulesAndCapabilities) {
  DibInfo d(4, 4, 16);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, d.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC a = CreateCompatibleDC(nullptr);
  HDC b = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(a, BITSPIXEL), 1);  // the stock bitmap
  HGDIOBJ stock = SelectObject(a, bitmap);
  ASSERT_NE(stock, nullptr);
  EXPECT_EQ(GetDeviceCaps(a, BITSPIXEL), 16);
  EXPECT_EQ(GetDeviceCaps(a, HORZRES), 4);
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(bitmap), stock}) {
    BITMAP bm{};
    bm.bmType = 7;
    ASSERT_NE(GetObjectA(object, sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmType, 0);
    EXPECT_EQ(bm.bmWidth, object == stock ? 1 : 4);
    EXPECT_EQ(bm.bmBitsPixel, object == stock ? 1 : 16);
  }
  EXPECT_EQ(SelectObject(b, bitmap), nullptr);  // one context at a time
  EXPECT_FALSE(DeleteObject(bitmap));           // still selected
  EXPECT_EQ(SelectObject(a, stock), bitmap);
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_EQ(SelectObject(a, bitmap), nullptr);  // gone
  EXPECT_TRUE(DeleteDC(a));
  EXPECT_FALSE(DeleteDC(a));
  EXPECT_TRUE(DeleteDC(b));
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
  EXPECT_FALSE(BitBlt(screen, 0, 0, 1, 1, screen, 0, 0, SRCCOPY));  // no pixels behind a screen context
  ReleaseDC(nullptr, screen);
}

}  // namespace

namespace {

LRESULT Plain(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}

// A window's context draws into a picture of its client area, shown in the window after every call.
TEST_F(GdiObjectsTest, WindowContextsShowWhatIsDrawn) {
  WNDCLASSEXA c{};
  c.cbSize = sizeof c;
  c.lpfnWndProc = &Plain;
  c.lpszClassName = "GdiTest";
  ASSERT_NE(RegisterClassExA(&c), 0);
  HWND window = CreateWindowExA(0, "GdiTest", "", WS_POPUP, 10, 10, 6, 4, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  headless::ClearFrames();
  HDC dc = GetDC(window);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
  ASSERT_TRUE(BitBlt(dc, 0, 0, 6, 4, nullptr, 0, 0, WHITENESS));
  Canvas image(2, 2, 0x123456);
  ASSERT_TRUE(BitBlt(dc, 4, 2, 2, 2, image.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(ReleaseDC(window, dc), 1);
  EXPECT_EQ(ReleaseDC(window, dc), 0);
  ASSERT_EQ(headless::Frames().size(), 2u);
  const headless::CapturedFrame& frame = headless::Frames().back();
  EXPECT_EQ(frame.window, window);
  EXPECT_EQ(frame.width, 6);
  EXPECT_EQ(frame.height, 4);
  EXPECT_EQ(frame.Rgb(0, 0), 0xFFFFFFu);
  EXPECT_EQ(frame.Rgb(5, 3), 0x123456u);
  // The picture stays with the window for the next context.
  dc = GetDC(window);
  ASSERT_TRUE(BitBlt(dc, 0, 0, 1, 1, nullptr, 0, 0, BLACKNESS));
  ReleaseDC(window, dc);
  EXPECT_EQ(headless::Frames().back().Rgb(5, 3), 0x123456u);
  EXPECT_EQ(headless::Frames().back().Rgb(0, 0), 0u);
  EXPECT_EQ(GetDC(reinterpret_cast<HWND>(&c)), nullptr);  // not a window
}

}  // namespace
