// Fixture of the DirectDraw tests: a headless host with a chosen desktop, a window at a known client rectangle,
// and the display changes that window heard.
#pragma once
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "platform/directx/ddraw.h"
#include "platform/directx/ddraw_display.h"
#include "platform/host/headless/headless_host.h"
#include "platform/host/platform.h"
#include "platform/win32/messages.h"
#include "platform/win32/user.h"
#include "support/headless_fixture.h"

class DirectDrawTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    SetDirectDrawVideoMemory(32u << 20);
  }

  void Desktop(int width, int height, int bits, bool rgb555 = false) {
    headless::Config config;
    config.desktopWidth = width;
    config.desktopHeight = height;
    config.bitsPerPixel = bits;
    config.rgb555 = rgb555;
    RestartHeadless(config);
  }

  // A borderless window whose client rectangle is the given desktop rectangle.
  HWND Window(RECT client = RECT{0, 0, 64, 48}) {
    WNDCLASSEXA c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = &DefWindowProcA;
    c.lpszClassName = "DirectDrawTest";
    RegisterClassExA(&c);
    HWND window = CreateWindowExA(0, "DirectDrawTest", "", WS_POPUP, client.left, client.top,
                                  client.right - client.left, client.bottom - client.top, nullptr, nullptr, nullptr,
                                  nullptr);
    EXPECT_NE(window, nullptr);
    return window;
  }

  // (bits, width, height) of every WM_DISPLAYCHANGE waiting in the queue.
  std::vector<std::tuple<int, int, int>> DisplayChanges() {
    std::vector<std::tuple<int, int, int>> out;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_DISPLAYCHANGE)
        out.emplace_back(static_cast<int>(msg.wParam), static_cast<int>(msg.lParam & 0xFFFF),
                         static_cast<int>((msg.lParam >> 16) & 0xFFFF));
    }
    return out;
  }
};
