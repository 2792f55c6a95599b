// The SDL host's keyboard, text input and joypads: SDL's events turned into the platform's input calls, and
// SDL's joysticks and game controllers read as the host's joysticks.
#pragma once
#include <SDL.h>

#include <map>
#include <vector>

#include "platform/host/host.h"

namespace host {

class SdlInput {
 public:
  SdlInput();
  ~SdlInput();
  SdlInput(const SdlInput&) = delete;
  SdlInput& operator=(const SdlInput&) = delete;

  // Takes the keyboard, text and joystick events; false for any other event.
  bool Handle(const SDL_Event& event);
  std::vector<JoystickInfo> Joysticks();
  bool ReadJoystick(uint32_t id, JoystickReading& reading);

 private:
  struct Device {
    SDL_Joystick* joystick = nullptr;
    SDL_GameController* controller = nullptr;
  };
  void Open(int index);
  void Close(SDL_JoystickID id);

  bool up_ = false;
  std::map<SDL_JoystickID, Device> devices_;
  std::vector<SDL_JoystickID> order_;  // in the order attached
};

}  // namespace host
