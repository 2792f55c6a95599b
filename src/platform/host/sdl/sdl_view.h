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

  // Follows the window's title, size, place, menu bar and shape; `offset` moves screen coordinates onto the
  // desktop (an emulated display mode is centred on it). Opens the real window once the view is visible and has
  // a size; false while there is none.
  bool Change(const WindowView& view, POINT offset);
  // Moves the real window by a new offset (the display mode changed).
  void Offset(POINT offset);
  // Redraws the menu bar and its drop-downs.
  void MenuChanged();
  void Present(const Frame& frame);
  void Show();
  bool Is(Uint32 windowId) const { return window_ && SDL_GetWindowID(window_) == windowId; }
  HWND Window() const { return hwnd_; }
  bool hadFocus = false;

 private:
  bool Open(const WindowView& view, const ViewPlacement& place, POINT offset);
  void Close();
  bool Reshape();
  struct Piece {
    SDL_Texture* texture = nullptr;
    SDL_Rect rect{};
  };
  void DropMenuPieces();

  HWND hwnd_ = nullptr;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  Uint32 textureFormat_ = 0;
  int textureWidth_ = 0, textureHeight_ = 0;
  std::vector<uint32_t> converted_;
  std::vector<Piece> menu_;
  ViewPlacement place_;
  POINT offset_{};
  bool shaped_ = false;
  std::vector<RECT> shape_;  // view coordinates
};

}  // namespace host
