// The desktop session a program's windows belong to, named from SDL's video driver and, on X, the display's
// connection name. Kept apart from the host: the window system's headers define names the substitute uses.
#include <SDL.h>
#include <SDL_syswm.h>

#include <cstring>
#include <string>

#include "platform/host/sdl/sdl_host.h"

namespace host {

std::string SdlDesktopSession() {
  const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
  // Without a display others can see, every program is a session of its own.
  if (!driver || std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0) return {};
  std::string session = driver;
  SDL_Window* probe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN);
  if (!probe) return session;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
#if defined(SDL_VIDEO_DRIVER_X11)
  // "host:display.screen" as the connection was opened: one per X server, whichever screen it shows on.
  if (SDL_GetWindowWMInfo(probe, &info) && info.subsystem == SDL_SYSWM_X11 && info.info.x11.display) {
    std::string display = DisplayString(info.info.x11.display);
    const size_t colon = display.rfind(':');
    const size_t dot = display.find('.', colon == std::string::npos ? 0 : colon);
    if (dot != std::string::npos) display.resize(dot);
    session += "-" + display;
  }
#endif
  SDL_DestroyWindow(probe);
  return session;
}

}  // namespace host
