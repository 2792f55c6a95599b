// The menu's pixels: the bar strip and the open drop-downs painted through the platform's GDI (texts in Shift-JIS
// in the UI font), so both hosts show the same picture and tests can read it.
#include <algorithm>

#include "platform/host/menu_bar.h"
#include "platform/win32/gdi.h"
#include "platform/win32/gdi_text.h"

namespace host {
namespace {

constexpr uint32_t kFace = 0xF0F0F0;
constexpr uint32_t kHighlight = 0x316AC5;
constexpr uint32_t kShadow = 0xA0A0A0;
constexpr uint32_t kDarkShadow = 0x696969;
constexpr uint32_t kLight = 0xFFFFFF;
constexpr uint32_t kInk = 0x000000;
constexpr uint32_t kHighlightInk = 0xFFFFFF;
constexpr uint32_t kGrayInk = 0x808080;

COLORREF ColorOf(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

RECT Moved(RECT r, int dx, int dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

// An item's text with its access letter underlined while the keyboard works the menu.
void PaintLabel(MenuCanvas& c, const MenuCell& cell, int dx, int dy, uint32_t ink, bool showAccess) {
  c.Text(cell.textX + dx, cell.textY + dy, cell.text, ColorOf(ink));
  if (showAccess && cell.access) c.Fill(Moved(cell.accessMark, dx, dy), ink);
}

MenuPicture PaintStrip(const MenuScene& scene) {
  MenuCanvas c(scene.width, scene.stripHeight);
  c.Fill(RECT{0, 0, scene.width, scene.stripHeight}, kFace);
  for (size_t i = 0; i < scene.bar.size(); ++i) {
    const MenuCell& cell = scene.bar[i];
    bool lit = static_cast<int>(i) == scene.barSelected;
    if (lit) c.Fill(cell.rect, kHighlight);
    PaintLabel(c, cell, 0, 0, lit ? kHighlightInk : cell.grayed ? kGrayInk : kInk, scene.showAccess);
  }
  return c.Take(RECT{0, 0, scene.width, scene.stripHeight});
}

MenuPicture PaintPanel(const MenuPanel& panel, bool showAccess) {
  const int dx = -panel.rect.left, dy = -panel.rect.top;
  const int w = panel.rect.right - panel.rect.left, h = panel.rect.bottom - panel.rect.top;
  MenuCanvas c(w, h);
  c.Fill(RECT{0, 0, w, h}, kDarkShadow);
  c.Fill(RECT{0, 0, w - 1, h - 1}, kLight);
  c.Fill(RECT{1, 1, w - 1, h - 1}, kShadow);
  c.Fill(RECT{1, 1, w - 2, h - 2}, kFace);
  for (const RECT* mark : {&panel.moreAbove, &panel.moreBelow}) {
    if (mark->bottom <= mark->top) continue;
    RECT r = Moved(*mark, dx, dy);
    c.Pointer((r.left + r.right) / 2, (r.top + r.bottom) / 2, mark == &panel.moreAbove, kInk);
  }
  for (size_t i = 0; i < panel.cells.size(); ++i) {
    const MenuCell& cell = panel.cells[i];
    RECT r = Moved(cell.rect, dx, dy);
    if (r.bottom <= r.top) continue;  // scrolled out of sight
    if (cell.separator) {
      int mid = (r.top + r.bottom) / 2 - 1;
      c.Fill(RECT{r.left + 1, mid, r.right - 1, mid + 1}, kShadow);
      c.Fill(RECT{r.left + 1, mid + 1, r.right - 1, mid + 2}, kLight);
      continue;
    }
    bool lit = static_cast<int>(i) == panel.selected;
    if (lit) c.Fill(r, kHighlight);
    uint32_t ink = cell.grayed ? kGrayInk : lit ? kHighlightInk : kInk;
    PaintLabel(c, cell, dx, dy, ink, showAccess);
    if (cell.checked) c.Check((r.left + cell.textX + dx) / 2, (r.top + r.bottom) / 2, ink);
    c.Text(panel.shortcutX, cell.textY + dy, cell.shortcut, ColorOf(ink));
    if (cell.subMenu) c.Arrow(r.right - 10, (r.top + r.bottom) / 2, ink);
  }
  return c.Take(panel.rect);
}

}  // namespace

MenuCanvas::MenuCanvas(int width, int height) : width_(std::max(width, 0)), height_(std::max(height, 0)) {
  if (width_ == 0 || height_ == 0) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  dc_ = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  bitmap_ = dc_ ? CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  pixels_ = bitmap_ ? static_cast<uint32_t*>(bits) : nullptr;
  font_ = CreateMenuFont();
  if (bitmap_) oldBitmap_ = SelectObject(dc_, bitmap_);
  if (bitmap_ && font_) oldFont_ = SelectObject(dc_, font_);
  if (dc_) SetBkMode(dc_, TRANSPARENT);
}

MenuCanvas::~MenuCanvas() {
  if (oldFont_) SelectObject(dc_, oldFont_);
  if (oldBitmap_) SelectObject(dc_, oldBitmap_);
  if (font_) DeleteObject(font_);
  if (bitmap_) DeleteObject(bitmap_);
  if (dc_) DeleteDC(dc_);
}

void MenuCanvas::Fill(RECT r, uint32_t rgb) {
  if (!pixels_) return;
  const LONG left = std::clamp<LONG>(r.left, 0, width_), right = std::clamp<LONG>(r.right, 0, width_);
  const LONG top = std::clamp<LONG>(r.top, 0, height_), bottom = std::clamp<LONG>(r.bottom, 0, height_);
  for (LONG y = top; y < bottom && left < right; ++y) {
    std::fill(pixels_ + y * width_ + left, pixels_ + y * width_ + right, rgb);
  }
}

void MenuCanvas::Text(int x, int y, const std::string& text, COLORREF color) {
  if (!oldFont_ || text.empty()) return;
  SetTextColor(dc_, color);
  TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size()));
}

void MenuCanvas::Arrow(int x, int y, uint32_t rgb) {
  for (int i = 0; i < 4; ++i) Fill(RECT{x + i, y - 3 + i, x + i + 1, y + 4 - i}, rgb);
}

// Seven columns three pixels tall, down to the third and up from there.
void MenuCanvas::Check(int x, int y, uint32_t rgb) {
  for (int i = 0; i < 7; ++i) {
    const int top = i <= 2 ? y - 1 + i : y + 3 - i;
    Fill(RECT{x - 3 + i, top, x - 2 + i, top + 3}, rgb);
  }
}

void MenuCanvas::Pointer(int x, int y, bool up, uint32_t rgb) {
  for (int i = 0; i < 4; ++i) {
    const int row = up ? y - 2 + i : y + 1 - i;
    Fill(RECT{x - i, row, x + i + 1, row + 1}, rgb);
  }
}

MenuPicture MenuCanvas::Take(RECT place) {
  MenuPicture picture;
  picture.place = {place.left, place.top, place.left + width_, place.top + height_};
  if (pixels_) picture.pixels.assign(pixels_, pixels_ + static_cast<size_t>(width_) * height_);
  else picture.pixels.assign(static_cast<size_t>(width_) * height_, kFace);
  return picture;
}

std::vector<MenuPicture> PaintMenu(const MenuScene& scene) {
  std::vector<MenuPicture> pictures;
  if (scene.stripHeight <= 0 || scene.width <= 0) return pictures;
  pictures.push_back(PaintStrip(scene));
  for (const MenuPanel& panel : scene.panels) pictures.push_back(PaintPanel(panel, scene.showAccess));
  return pictures;
}

}  // namespace host
