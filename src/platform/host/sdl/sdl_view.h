// The SDL host's real window for one top-level window: placed where the window code puts it, shaped by its region
// (SDL's shaped windows), showing the menu bar strip and open drop-downs above and over the presented picture.
#pragma once
#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/host/menu_bar.h"

namespace host {

class SdlView {
 public:
  SdlView() = default;
  ~SdlView();
  SdlView(const SdlView&) = delete;
  SdlView& operator=(const SdlView&) = delete;

  // Takes the window's title, size, place, visibility, menu bar and shape; `offset` moves screen coordinates onto
  // the desktop (an emulated display mode is centred on it). They reach the real window at the next Settle.
  void Change(const WindowView& view, POINT offset);
  // A new offset (the display mode changed), also at the next Settle.
  void Offset(POINT offset);
  // Brings the real window to what it was last told, opening it once the view is visible and has a size. The
  // window code sizes a window several times in one call (made with room for a menu bar, then fitted to its
  // client area); the host settles between calls, so a window is shown once, at its size.
  void Settle();
  // Redraws the menu bar and its drop-downs.
  void MenuChanged();
  void Present(const Frame& frame);
  void Show();
  bool Is(Uint32 windowId) const { return window_ && SDL_GetWindowID(window_) == windowId; }
  // True once after another client destroyed the real window.
  bool TakeGone();
  HWND Window() const { return hwnd_; }
  bool hadFocus = false;

 private:
  bool Open();
  void Close();
  bool Reshape();
  struct Piece {
    SDL_Texture* texture = nullptr;
    SDL_Rect rect{};
  };
  void DropMenuPieces();

  HWND hwnd_ = nullptr;
  // What the window was last told, and whether the real window has yet to follow it.
  struct Wanted {
    std::string title;  // UTF-8
    ViewPlacement place;
    POINT offset{};
    bool visible = false;
    bool shaped = false;
    std::vector<RECT> shape;  // view coordinates
  };
  Wanted wanted_;
  bool unsettled_ = false;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  Uint32 textureFormat_ = 0;
  int textureWidth_ = 0, textureHeight_ = 0;
  std::vector<uint32_t> converted_;
  std::vector<Piece> menu_;
  // What the real window has.
  std::string title_;
  ViewPlacement place_;
  POINT offset_{};
  bool shaped_ = false;
  std::vector<RECT> shape_;  // view coordinates
};

}  // namespace host
