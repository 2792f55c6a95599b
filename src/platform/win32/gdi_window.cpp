// Window and screen contexts. A window context draws into a picture of the window's client area, kept per
// window, and every drawing call shows that picture in the window; the screen's context has no pixels.
#include <map>
#include <mutex>

#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/user.h"

namespace {

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // X8R8G8B8, rows top down
};

struct WindowPictures {
  std::mutex lock;
  std::map<HWND, Picture> pictures;
};

WindowPictures& Pictures() {
  static WindowPictures state;
  return state;
}

}  // namespace

HDC GetDC(HWND window) {
  if (window && !host::LiveWindow(window)) return nullptr;
  auto* c = new GdiContext;
  c->kind = GdiContext::Kind::Window;
  c->window = window;
  c->windowContext = true;
  return RegisterContext(c);
}

int ReleaseDC(HWND, HDC dc) {
  GdiContext* c = FindContext(dc);
  if (!c || c->kind != GdiContext::Kind::Window) return 0;
  ForgetContext(c);
  ReleaseTextObjects(c);
  delete c;
  return 1;
}

int GetDeviceCaps(HDC dc, int index) {
  GdiContext* c = FindContext(dc);
  return c ? c->DeviceCaps(index) : 0;
}

const PixelBlock* WindowPicture(GdiContext* c) {
  RECT client;
  if (!c->window || !GetClientRect(c->window, &client) || client.right <= 0 || client.bottom <= 0) return nullptr;
  WindowPictures& p = Pictures();
  std::lock_guard<std::mutex> guard(p.lock);
  Picture& picture = p.pictures[c->window];
  if (picture.width != client.right || picture.height != client.bottom) {
    picture.width = client.right;
    picture.height = client.bottom;
    picture.pixels.assign(static_cast<size_t>(client.right) * client.bottom, 0);  // a new size starts black
  }
  c->surface = PixelBlock{reinterpret_cast<uint8_t*>(picture.pixels.data()), client.right * 4L, client.right,
                          client.bottom, 32, 0xFF0000, 0xFF00, 0xFF, nullptr, 0};
  return &c->surface;
}

void ForgetWindowPicture(HWND window) {
  WindowPictures& p = Pictures();
  std::lock_guard<std::mutex> guard(p.lock);
  p.pictures.erase(window);
}

void ShowWindowPicture(GdiContext* c) {
  if (!c->surface.Valid()) return;
  host::Frame frame;
  frame.pixels = c->surface.top;
  frame.pitch = static_cast<int>(c->surface.pitch);
  frame.width = c->surface.width;
  frame.height = c->surface.height;
  frame.bitsPerPixel = 32;
  frame.redMask = 0xFF0000, frame.greenMask = 0xFF00, frame.blueMask = 0xFF;
  host::PresentFrame(c->window, frame);
}
