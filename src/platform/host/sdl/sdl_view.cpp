// The real window of a top-level window: SDL window and renderer, the presented picture below the menu bar strip,
// the strip and drop-downs painted through the platform's GDI (so their texts are Shift-JIS drawn in the UI font)
// and the window's shape and place.
#include "platform/host/sdl/sdl_view.h"

#include <algorithm>
#include <cstdio>

#include "platform/host/platform.h"
#include "platform/win32/gdi.h"
#include "platform/win32/gdi_text.h"

namespace host {
namespace {

constexpr uint32_t kFace = 0xF0F0F0;
constexpr uint32_t kHighlight = 0x316AC5;
constexpr uint32_t kShadow = 0xA0A0A0;
constexpr uint32_t kDarkShadow = 0x696969;
constexpr uint32_t kLight = 0xFFFFFF;
constexpr COLORREF kText = RGB(0, 0, 0);
constexpr COLORREF kHighlightText = RGB(255, 255, 255);
constexpr COLORREF kGrayText = RGB(128, 128, 128);

// A 32-bit picture painted with GDI: rectangles by hand, texts in the menu font.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = dc_ ? CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    pixels_ = static_cast<uint32_t*>(bits);
    font_ = CreateMenuFont();
    if (bitmap_) oldBitmap_ = SelectObject(dc_, bitmap_);
    if (bitmap_ && font_) oldFont_ = SelectObject(dc_, font_);
    if (dc_) SetBkMode(dc_, TRANSPARENT);
  }
  ~Canvas() {
    if (oldFont_) SelectObject(dc_, oldFont_);
    if (oldBitmap_) SelectObject(dc_, oldBitmap_);
    if (font_) DeleteObject(font_);
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  void Fill(RECT r, uint32_t rgb) {
    if (!pixels_) return;
    r = {std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0), std::min<LONG>(r.right, width_),
         std::min<LONG>(r.bottom, height_)};
    for (LONG y = r.top; y < r.bottom; ++y) std::fill(pixels_ + y * width_ + r.left, pixels_ + y * width_ + r.right, rgb);
  }
  void Text(int x, int y, const std::string& text, COLORREF color) {
    if (!oldFont_ || text.empty()) return;
    SetTextColor(dc_, color);
    TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size()));
  }
  // The arrow of an item that opens a submenu: a small triangle pointing right, centred on (x, y).
  void Arrow(int x, int y, uint32_t rgb) {
    for (int i = 0; i < 4; ++i) Fill(RECT{x + i, y - 3 + i, x + i + 1, y + 4 - i}, rgb);
  }
  SDL_Texture* Texture(SDL_Renderer* renderer) {
    if (!pixels_) return nullptr;
    SDL_Texture* t = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STATIC, width_, height_);
    if (t) SDL_UpdateTexture(t, nullptr, pixels_, width_ * 4);
    return t;
  }

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr, oldFont_ = nullptr;
  uint32_t* pixels_ = nullptr;
};

RECT Moved(RECT r, int dx, int dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

void PaintStrip(Canvas& c, const MenuScene& scene) {
  c.Fill(RECT{0, 0, scene.width, scene.stripHeight}, kFace);
  for (size_t i = 0; i < scene.bar.size(); ++i) {
    const MenuCell& cell = scene.bar[i];
    bool lit = static_cast<int>(i) == scene.barSelected;
    if (lit) c.Fill(cell.rect, kHighlight);
    c.Text(cell.textX, cell.textY, cell.text, lit ? kHighlightText : cell.grayed ? kGrayText : kText);
  }
}

void PaintPanel(Canvas& c, const MenuPanel& panel) {
  const int dx = -panel.rect.left, dy = -panel.rect.top;
  const int w = panel.rect.right - panel.rect.left, h = panel.rect.bottom - panel.rect.top;
  c.Fill(RECT{0, 0, w, h}, kDarkShadow);
  c.Fill(RECT{0, 0, w - 1, h - 1}, kLight);
  c.Fill(RECT{1, 1, w - 1, h - 1}, kShadow);
  c.Fill(RECT{1, 1, w - 2, h - 2}, kFace);
  for (size_t i = 0; i < panel.cells.size(); ++i) {
    const MenuCell& cell = panel.cells[i];
    RECT r = Moved(cell.rect, dx, dy);
    if (cell.separator) {
      int mid = (r.top + r.bottom) / 2 - 1;
      c.Fill(RECT{r.left + 1, mid, r.right - 1, mid + 1}, kShadow);
      c.Fill(RECT{r.left + 1, mid + 1, r.right - 1, mid + 2}, kLight);
      continue;
    }
    bool lit = static_cast<int>(i) == panel.selected;
    if (lit) c.Fill(r, kHighlight);
    COLORREF ink = cell.grayed ? kGrayText : lit ? kHighlightText : kText;
    c.Text(cell.textX + dx, cell.textY + dy, cell.text, ink);
    c.Text(panel.shortcutX, cell.textY + dy, cell.shortcut, ink);
    if (cell.subMenu) c.Arrow(r.right - 10, (r.top + r.bottom) / 2, lit ? 0xFFFFFF : cell.grayed ? 0x808080 : 0);
  }
}

bool Same(const std::vector<RECT>& a, const std::vector<RECT>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const RECT& x, const RECT& y) {
    return x.left == y.left && x.top == y.top && x.right == y.right && x.bottom == y.bottom;
  });
}

SDL_Rect SdlRect(const RECT& r) { return SDL_Rect{r.left, r.top, r.right - r.left, r.bottom - r.top}; }

}  // namespace

SdlView::~SdlView() { Close(); }

void SdlView::Close() {
  DropMenuPieces();
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
  texture_ = nullptr;
  renderer_ = nullptr;
  window_ = nullptr;
  textureFormat_ = 0;
  textureWidth_ = textureHeight_ = 0;
  hadFocus = false;
}

void SdlView::DropMenuPieces() {
  for (Piece& p : menu_) SDL_DestroyTexture(p.texture);
  menu_.clear();
}

bool SdlView::Open(const WindowView& view, const ViewPlacement& place, POINT offset) {
  std::string title = ShiftJisToUtf8(view.title.c_str());
  const int x = place.left + offset.x, y = place.top + offset.y;
  if (shaped_) {
    // A shaped window stays off the screen until its first shape is set. It is made for OpenGL, so the renderer
    // does not make the window anew, which would lose its shape.
    window_ = SDL_CreateShapedWindow(title.c_str(), static_cast<unsigned>(std::max(x, 0)),
                                     static_cast<unsigned>(std::max(y, 0)), place.width, place.height,
                                     SDL_WINDOW_SHOWN | SDL_WINDOW_OPENGL);
  }
  if (!window_) window_ = SDL_CreateWindow(title.c_str(), x, y, place.width, place.height, SDL_WINDOW_SHOWN);
  if (!window_) {
    std::fprintf(stderr, "vomak: cannot open a window: %s\n", SDL_GetError());
    return false;
  }
  renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (shaped_ && !SDL_IsShapedWindow(window_)) {
    std::fprintf(stderr, "vomak: the display cannot shape windows; the window stays whole\n");
  }
  if (renderer_) SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  place_ = place;
  offset_ = offset;
  Reshape();
  SDL_SetWindowPosition(window_, x, y);
  return true;
}

bool SdlView::Reshape() {
  if (!shaped_ || !SDL_IsShapedWindow(window_)) return false;
  SDL_Surface* mask = SDL_CreateRGBSurfaceWithFormat(0, place_.width, place_.height, 32, SDL_PIXELFORMAT_ARGB8888);
  if (!mask) return false;
  SDL_FillRect(mask, nullptr, 0);
  for (const RECT& r : shape_) {
    SDL_Rect s = SdlRect(r);
    SDL_FillRect(mask, &s, 0xFFFFFFFFu);
  }
  SDL_WindowShapeMode mode{};
  mode.mode = ShapeModeBinarizeAlpha;
  mode.parameters.binarizationCutoff = 1;
  int result = SDL_SetWindowShape(window_, mask, &mode);
  SDL_FreeSurface(mask);
  return result == 0;
}

bool SdlView::Change(const WindowView& view, POINT offset) {
  hwnd_ = view.window;
  ViewPlacement place = PlacementOf(view);
  std::vector<RECT> shape = view.shaped ? ShapeInView(view) : std::vector<RECT>{};
  if (window_ && view.shaped != shaped_) Close();  // a window takes or loses its shape only when it is made
  const bool reshape = view.shaped && (!Same(shape, shape_) || place.width != place_.width ||
                                       place.height != place_.height);
  shaped_ = view.shaped;
  shape_ = std::move(shape);
  if (!window_) {
    if (!view.visible || place.width <= 0 || place.height <= 0) return false;
    if (!Open(view, place, offset)) return false;
  } else {
    SDL_SetWindowTitle(window_, ShiftJisToUtf8(view.title.c_str()).c_str());
    if (place.width > 0 && place.height > 0 && (place.width != place_.width || place.height != place_.height)) {
      SDL_SetWindowSize(window_, place.width, place.height);
    }
    if (place.left != place_.left || place.top != place_.top || offset.x != offset_.x || offset.y != offset_.y) {
      SDL_SetWindowPosition(window_, place.left + offset.x, place.top + offset.y);
    }
    place_ = place;
    offset_ = offset;
    if (reshape) Reshape();
    if (view.visible) SDL_ShowWindow(window_);
    else SDL_HideWindow(window_);
  }
  MenuChanged();
  return true;
}

void SdlView::Offset(POINT offset) {
  if (window_ && (offset.x != offset_.x || offset.y != offset_.y)) {
    SDL_SetWindowPosition(window_, place_.left + offset.x, place_.top + offset.y);
  }
  offset_ = offset;
}

void SdlView::MenuChanged() {
  DropMenuPieces();
  if (!renderer_ || place_.stripHeight <= 0) {
    Show();
    return;
  }
  MenuScene scene = MenuSceneOf(hwnd_);
  if (scene.stripHeight > 0 && scene.width > 0) {
    Canvas strip(scene.width, scene.stripHeight);
    PaintStrip(strip, scene);
    if (SDL_Texture* t = strip.Texture(renderer_)) menu_.push_back({t, SDL_Rect{0, 0, scene.width, scene.stripHeight}});
  }
  for (const MenuPanel& panel : scene.panels) {
    Canvas canvas(panel.rect.right - panel.rect.left, panel.rect.bottom - panel.rect.top);
    PaintPanel(canvas, panel);
    if (SDL_Texture* t = canvas.Texture(renderer_)) menu_.push_back({t, SdlRect(panel.rect)});
  }
  Show();
}

void SdlView::Present(const Frame& frame) {
  if (!renderer_) return;
  const void* pixels = frame.pixels;
  int pitch = frame.pitch;
  Uint32 format;
  if (frame.bitsPerPixel == 8) {
    // Palette frames are turned into X8R8G8B8 here.
    converted_.resize(static_cast<size_t>(frame.width) * frame.height);
    for (int y = 0; y < frame.height; ++y) {
      const uint8_t* row = static_cast<const uint8_t*>(frame.pixels) + static_cast<ptrdiff_t>(y) * frame.pitch;
      for (int x = 0; x < frame.width; ++x) {
        converted_[static_cast<size_t>(y) * frame.width + x] = frame.palette ? frame.palette[row[x]] : 0;
      }
    }
    pixels = converted_.data();
    pitch = frame.width * 4;
    format = SDL_PIXELFORMAT_RGB888;
  } else {
    format = SDL_MasksToPixelFormatEnum(frame.bitsPerPixel, frame.redMask, frame.greenMask, frame.blueMask, 0);
    if (format == SDL_PIXELFORMAT_UNKNOWN) return;
  }
  if (!texture_ || textureFormat_ != format || textureWidth_ != frame.width || textureHeight_ != frame.height) {
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = SDL_CreateTexture(renderer_, format, SDL_TEXTUREACCESS_STREAMING, frame.width, frame.height);
    textureFormat_ = format;
    textureWidth_ = frame.width;
    textureHeight_ = frame.height;
    if (!texture_) return;
  }
  SDL_UpdateTexture(texture_, nullptr, pixels, pitch);
  Show();
}

void SdlView::Show() {
  if (!renderer_) return;
  SDL_RenderClear(renderer_);
  // The picture fills the client area below the strip.
  SDL_Rect client{0, place_.stripHeight, place_.width, place_.height - place_.stripHeight};
  if (texture_) SDL_RenderCopy(renderer_, texture_, nullptr, &client);
  for (const Piece& p : menu_) SDL_RenderCopy(renderer_, p.texture, nullptr, &p.rect);
  SDL_RenderPresent(renderer_);
}

}  // namespace host
