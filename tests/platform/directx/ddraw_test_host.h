// A display host for the DirectDraw tests: a set desktop, named failures, known windows and captured frames.
#pragma once
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/directx/ddraw_display.h"

class TestDisplay : public DisplayHost {
 public:
  struct Frame {
    RECT rect;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, rect's rows
    HWND window;
  };

  DisplayDesktop desktop;
  std::set<std::string> failing;
  std::map<HWND, RECT> clients;  // client rectangles on the desktop
  std::vector<std::tuple<int, int, int>> displayChanges;
  std::vector<Frame> frames;
  uint32_t clock = 1000;
  uint32_t videoBytes = 32u << 20;

  DisplayDesktop Desktop() override { return desktop; }
  bool ShouldFail(const char* name) override { return failing.count(name) != 0; }
  uint32_t Milliseconds() override { return clock++; }
  bool ClientRectOnScreen(HWND window, RECT* rect) override {
    auto it = clients.find(window);
    if (it == clients.end()) return false;
    *rect = it->second;
    return true;
  }
  void PostDisplayChange(int bits, int width, int height) override { displayChanges.emplace_back(bits, width, height); }
  uint32_t VideoMemoryBytes() override { return videoBytes; }
  // Captures what the real window would show: the client rectangle of the window the picture went to, else
  // the rectangle that changed.
  void Present(const PresentedPicture& picture) override {
    RECT rect = picture.changed;
    auto it = clients.find(picture.window);
    if (it != clients.end()) rect = it->second;
    frames.push_back(Frame{rect, PresentedPixels(picture, rect), picture.window});
  }
};

// Every test gets a fresh host; the substitute's display state is per process and each test runs in its own.
class DirectDrawTest : public ::testing::Test {
 protected:
  void SetUp() override { SetDisplayHost(&host); }
  void TearDown() override { SetDisplayHost(nullptr); }
  TestDisplay host;
};
