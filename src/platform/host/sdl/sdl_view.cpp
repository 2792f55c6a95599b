// The real window of a top-level window: SDL window and renderer, the presented picture below the menu bar strip,
// the pictures of the strip and drop-downs placed over it, and the window's shape and place.
#include "platform/host/sdl/sdl_view.h"

#include <algorithm>
#include <cstdio>

#include "platform/host/platform.h"
#include "platform/host/sdl/sdl_host.h"

namespace host {
namespace {

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
  if (window_) DestroyWatchedWindow(window_);
  texture_ = nullptr;
  renderer_ = nullptr;
  window_ = nullptr;
  textureFormat_ = 0;
  textureWidth_ = textureHeight_ = 0;
  hadFocus = false;
}

bool SdlView::TakeGone() { return window_ && TakeGoneWindow(window_); }

void SdlView::DropMenuPieces() {
  for (Piece& p : menu_) SDL_DestroyTexture(p.texture);
  menu_.clear();
}

bool SdlView::Open() {
  const ViewPlacement& place = wanted_.place;
  const POINT offset = wanted_.offset;
  const int x = place.left + offset.x, y = place.top + offset.y;
  if (shaped_) {
    // A shaped window stays off the screen until its first shape is set. It is made for OpenGL, so the renderer
    // does not make the window anew, which would lose its shape.
    window_ = SDL_CreateShapedWindow(wanted_.title.c_str(), static_cast<unsigned>(std::max(x, 0)),
                                     static_cast<unsigned>(std::max(y, 0)), place.width, place.height,
                                     SDL_WINDOW_SHOWN | SDL_WINDOW_OPENGL);
  }
  // Made hidden: a renderer that needs another kind of window makes it anew, which a window manager would see as
  // a window come, go and come again.
  if (!window_) window_ = SDL_CreateWindow(wanted_.title.c_str(), x, y, place.width, place.height, SDL_WINDOW_HIDDEN);
  if (!window_) {
    std::fprintf(stderr, "vomak: cannot open a window: %s\n", SDL_GetError());
    return false;
  }
  renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (shaped_ && !SDL_IsShapedWindow(window_)) {
    std::fprintf(stderr, "vomak: the display cannot shape windows; the window stays whole\n");
  }
  if (renderer_) SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  WatchWindow(window_);  // once the renderer has made it anew, as it may
  title_ = wanted_.title;
  place_ = place;
  offset_ = offset;
  Reshape();
  SDL_SetWindowPosition(window_, x, y);
  SDL_ShowWindow(window_);
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

void SdlView::Change(const WindowView& view, POINT offset) {
  hwnd_ = view.window;
  wanted_.title = ShiftJisToUtf8(view.title.c_str());
  wanted_.place = PlacementOf(view);
  wanted_.offset = offset;
  wanted_.visible = view.visible;
  wanted_.shaped = view.shaped;
  wanted_.shape = view.shaped ? ShapeInView(view) : std::vector<RECT>{};
  unsettled_ = true;
}

void SdlView::Offset(POINT offset) {
  if (offset.x == wanted_.offset.x && offset.y == wanted_.offset.y) return;
  wanted_.offset = offset;
  unsettled_ = true;
}

void SdlView::Settle() {
  if (!unsettled_) return;
  unsettled_ = false;
  const ViewPlacement& place = wanted_.place;
  const POINT offset = wanted_.offset;
  if (window_ && wanted_.shaped != shaped_) Close();  // a window takes or loses its shape only when it is made
  const bool reshape = wanted_.shaped && (!Same(wanted_.shape, shape_) || place.width != place_.width ||
                                          place.height != place_.height);
  shaped_ = wanted_.shaped;
  shape_ = wanted_.shape;
  if (!window_) {
    if (!wanted_.visible || place.width <= 0 || place.height <= 0) return;
    if (!Open()) return;
  } else {
    if (wanted_.title != title_) SDL_SetWindowTitle(window_, wanted_.title.c_str());
    title_ = wanted_.title;
    if (place.width > 0 && place.height > 0 && (place.width != place_.width || place.height != place_.height)) {
      SDL_SetWindowSize(window_, place.width, place.height);
    }
    if (place.left != place_.left || place.top != place_.top || offset.x != offset_.x || offset.y != offset_.y) {
      SDL_SetWindowPosition(window_, place.left + offset.x, place.top + offset.y);
    }
    place_ = place;
    offset_ = offset;
    if (reshape) Reshape();
    if (wanted_.visible) SDL_ShowWindow(window_);
    else SDL_HideWindow(window_);
  }
  MenuChanged();
}

void SdlView::MenuChanged() {
  DropMenuPieces();
  if (!renderer_ || place_.stripHeight <= 0) {
    Show();
    return;
  }
  for (const MenuPicture& picture : PaintMenu(MenuSceneOf(hwnd_))) {
    SDL_Texture* t = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STATIC, picture.Width(),
                                       picture.Height());
    if (!t) continue;
    SDL_UpdateTexture(t, nullptr, picture.pixels.data(), picture.Width() * 4);
    menu_.push_back({t, SdlRect(picture.place)});
  }
  Show();
}

void SdlView::Present(const Frame& frame) {
  Settle();
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
