// Keyboard, text and joypads from SDL. Keys go through one table from SDL scancodes to DirectInput key codes
// (the scan codes of the original keyboard, 0x80 marking the extended keys); text and compositions are handed
// on as UTF-8; joysticks are opened as they are attached, game controllers through their standard mapping.
#include "platform/host/sdl/sdl_input.h"

#include <algorithm>

#include "platform/host/input.h"

namespace host {
namespace {

struct ScancodeRow {
  SDL_Scancode scancode;
  int keyCode;
};

constexpr ScancodeRow kScancodeRows[] = {
    {SDL_SCANCODE_ESCAPE, 0x01},     {SDL_SCANCODE_1, 0x02},           {SDL_SCANCODE_2, 0x03},
    {SDL_SCANCODE_3, 0x04},          {SDL_SCANCODE_4, 0x05},           {SDL_SCANCODE_5, 0x06},
    {SDL_SCANCODE_6, 0x07},          {SDL_SCANCODE_7, 0x08},           {SDL_SCANCODE_8, 0x09},
    {SDL_SCANCODE_9, 0x0A},          {SDL_SCANCODE_0, 0x0B},           {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D},     {SDL_SCANCODE_BACKSPACE, 0x0E},   {SDL_SCANCODE_TAB, 0x0F},
    {SDL_SCANCODE_Q, 0x10},          {SDL_SCANCODE_W, 0x11},           {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_R, 0x13},          {SDL_SCANCODE_T, 0x14},           {SDL_SCANCODE_Y, 0x15},
    {SDL_SCANCODE_U, 0x16},          {SDL_SCANCODE_I, 0x17},           {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19},          {SDL_SCANCODE_LEFTBRACKET, 0x1A}, {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_RETURN, 0x1C},     {SDL_SCANCODE_LCTRL, 0x1D},       {SDL_SCANCODE_A, 0x1E},
    {SDL_SCANCODE_S, 0x1F},          {SDL_SCANCODE_D, 0x20},           {SDL_SCANCODE_F, 0x21},
    {SDL_SCANCODE_G, 0x22},          {SDL_SCANCODE_H, 0x23},           {SDL_SCANCODE_J, 0x24},
    {SDL_SCANCODE_K, 0x25},          {SDL_SCANCODE_L, 0x26},           {SDL_SCANCODE_SEMICOLON, 0x27},
    {SDL_SCANCODE_APOSTROPHE, 0x28}, {SDL_SCANCODE_GRAVE, 0x29},       {SDL_SCANCODE_LSHIFT, 0x2A},
    {SDL_SCANCODE_BACKSLASH, 0x2B},  {SDL_SCANCODE_NONUSHASH, 0x2B},   {SDL_SCANCODE_Z, 0x2C},
    {SDL_SCANCODE_X, 0x2D},          {SDL_SCANCODE_C, 0x2E},           {SDL_SCANCODE_V, 0x2F},
    {SDL_SCANCODE_B, 0x30},          {SDL_SCANCODE_N, 0x31},           {SDL_SCANCODE_M, 0x32},
    {SDL_SCANCODE_COMMA, 0x33},      {SDL_SCANCODE_PERIOD, 0x34},      {SDL_SCANCODE_SLASH, 0x35},
    {SDL_SCANCODE_RSHIFT, 0x36},     {SDL_SCANCODE_KP_MULTIPLY, 0x37}, {SDL_SCANCODE_LALT, 0x38},
    {SDL_SCANCODE_SPACE, 0x39},      {SDL_SCANCODE_CAPSLOCK, 0x3A},    {SDL_SCANCODE_F1, 0x3B},
    {SDL_SCANCODE_F2, 0x3C},         {SDL_SCANCODE_F3, 0x3D},          {SDL_SCANCODE_F4, 0x3E},
    {SDL_SCANCODE_F5, 0x3F},         {SDL_SCANCODE_F6, 0x40},          {SDL_SCANCODE_F7, 0x41},
    {SDL_SCANCODE_F8, 0x42},         {SDL_SCANCODE_F9, 0x43},          {SDL_SCANCODE_F10, 0x44},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x45}, {SDL_SCANCODE_SCROLLLOCK, 0x46}, {SDL_SCANCODE_KP_7, 0x47},
    {SDL_SCANCODE_KP_8, 0x48},       {SDL_SCANCODE_KP_9, 0x49},        {SDL_SCANCODE_KP_MINUS, 0x4A},
    {SDL_SCANCODE_KP_4, 0x4B},       {SDL_SCANCODE_KP_5, 0x4C},        {SDL_SCANCODE_KP_6, 0x4D},
    {SDL_SCANCODE_KP_PLUS, 0x4E},    {SDL_SCANCODE_KP_1, 0x4F},        {SDL_SCANCODE_KP_2, 0x50},
    {SDL_SCANCODE_KP_3, 0x51},       {SDL_SCANCODE_KP_0, 0x52},        {SDL_SCANCODE_KP_PERIOD, 0x53},
    {SDL_SCANCODE_NONUSBACKSLASH, 0x56}, {SDL_SCANCODE_F11, 0x57},     {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_F13, 0x64},        {SDL_SCANCODE_F14, 0x65},         {SDL_SCANCODE_F15, 0x66},
    {SDL_SCANCODE_INTERNATIONAL2, 0x70}, {SDL_SCANCODE_INTERNATIONAL1, 0x73},
    {SDL_SCANCODE_INTERNATIONAL4, 0x79}, {SDL_SCANCODE_INTERNATIONAL5, 0x7B},
    {SDL_SCANCODE_INTERNATIONAL3, 0x7D}, {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_RCTRL, 0x9D},
    {SDL_SCANCODE_KP_DIVIDE, 0xB5},  {SDL_SCANCODE_PRINTSCREEN, 0xB7}, {SDL_SCANCODE_RALT, 0xB8},
    {SDL_SCANCODE_PAUSE, 0xC5},      {SDL_SCANCODE_HOME, 0xC7},        {SDL_SCANCODE_UP, 0xC8},
    {SDL_SCANCODE_PAGEUP, 0xC9},     {SDL_SCANCODE_LEFT, 0xCB},        {SDL_SCANCODE_RIGHT, 0xCD},
    {SDL_SCANCODE_END, 0xCF},        {SDL_SCANCODE_DOWN, 0xD0},        {SDL_SCANCODE_PAGEDOWN, 0xD1},
    {SDL_SCANCODE_INSERT, 0xD2},     {SDL_SCANCODE_DELETE, 0xD3},      {SDL_SCANCODE_LGUI, 0xDB},
    {SDL_SCANCODE_RGUI, 0xDC},       {SDL_SCANCODE_APPLICATION, 0xDD},
};

int KeyCodeOf(SDL_Scancode scancode) {
  for (const ScancodeRow& row : kScancodeRows) {
    if (row.scancode == scancode) return row.keyCode;
  }
  return 0;
}

// A game controller's standard layout in the joystick's terms: left stick X and Y, left trigger as Z, right
// stick as the X and Y rotations, right trigger as the Z rotation; the face buttons first, the pad as hat 0.
constexpr SDL_GameControllerAxis kControllerAxes[6] = {
    SDL_CONTROLLER_AXIS_LEFTX,  SDL_CONTROLLER_AXIS_LEFTY,  SDL_CONTROLLER_AXIS_TRIGGERLEFT,
    SDL_CONTROLLER_AXIS_RIGHTX, SDL_CONTROLLER_AXIS_RIGHTY, SDL_CONTROLLER_AXIS_TRIGGERRIGHT};
constexpr SDL_GameControllerButton kControllerButtons[] = {
    SDL_CONTROLLER_BUTTON_A,         SDL_CONTROLLER_BUTTON_B,          SDL_CONTROLLER_BUTTON_X,
    SDL_CONTROLLER_BUTTON_Y,         SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
    SDL_CONTROLLER_BUTTON_BACK,      SDL_CONTROLLER_BUTTON_START,      SDL_CONTROLLER_BUTTON_LEFTSTICK,
    SDL_CONTROLLER_BUTTON_RIGHTSTICK, SDL_CONTROLLER_BUTTON_GUIDE};

uint32_t HatAngle(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return 0xFFFFFFFFu;
  }
}

Uint8 PadHat(SDL_GameController* c) {
  auto pressed = [c](SDL_GameControllerButton b) { return SDL_GameControllerGetButton(c, b) != 0; };
  Uint8 hat = SDL_HAT_CENTERED;
  if (pressed(SDL_CONTROLLER_BUTTON_DPAD_UP)) hat |= SDL_HAT_UP;
  if (pressed(SDL_CONTROLLER_BUTTON_DPAD_DOWN)) hat |= SDL_HAT_DOWN;
  if (pressed(SDL_CONTROLLER_BUTTON_DPAD_LEFT)) hat |= SDL_HAT_LEFT;
  if (pressed(SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) hat |= SDL_HAT_RIGHT;
  return hat;
}

}  // namespace

SdlInput::SdlInput() {
  // Pads are read in the background, as the devices are opened: SDL would otherwise drop every stick movement and
  // button press while no window of the program holds the keyboard, which a desktop without a window manager
  // never gives it.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  up_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
  if (!up_) return;
  for (int i = 0; i < SDL_NumJoysticks(); ++i) Open(i);
}

SdlInput::~SdlInput() {
  while (!order_.empty()) Close(order_.front());
  if (up_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void SdlInput::Open(int index) {
  Device d;
  if (SDL_IsGameController(index)) {
    d.controller = SDL_GameControllerOpen(index);
    if (d.controller) d.joystick = SDL_GameControllerGetJoystick(d.controller);
  }
  if (!d.joystick) d.joystick = SDL_JoystickOpen(index);
  if (!d.joystick) return;
  SDL_JoystickID id = SDL_JoystickInstanceID(d.joystick);
  if (devices_.count(id)) {
    if (d.controller) SDL_GameControllerClose(d.controller);
    else SDL_JoystickClose(d.joystick);
    return;
  }
  devices_[id] = d;
  order_.push_back(id);
}

void SdlInput::Close(SDL_JoystickID id) {
  auto it = devices_.find(id);
  if (it != devices_.end()) {
    if (it->second.controller) SDL_GameControllerClose(it->second.controller);
    else SDL_JoystickClose(it->second.joystick);
    devices_.erase(it);
  }
  std::erase(order_, id);
}

bool SdlInput::Handle(const SDL_Event& e) {
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (int code = KeyCodeOf(e.key.keysym.scancode)) KeyChanged(code, e.type == SDL_KEYDOWN);
      return true;
    case SDL_TEXTINPUT:
      TextCommitted(e.text.text);
      return true;
    case SDL_TEXTEDITING:
      TextComposing(e.edit.text, e.edit.start);
      return true;
    case SDL_JOYDEVICEADDED:
      Open(e.jdevice.which);
      JoysticksReplugged();
      return true;
    case SDL_JOYDEVICEREMOVED:
      Close(e.jdevice.which);
      JoysticksReplugged();
      return true;
    case SDL_JOYAXISMOTION:
    case SDL_JOYHATMOTION:
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
      JoystickChanged(static_cast<uint32_t>(e.jaxis.which));
      return true;
    case SDL_JOYBALLMOTION:
    case SDL_CONTROLLERAXISMOTION:
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
    case SDL_CONTROLLERDEVICEREMAPPED:
      return true;  // seen through the joystick events above
    default:
      return false;
  }
}

std::vector<JoystickInfo> SdlInput::Joysticks() {
  std::vector<JoystickInfo> list;
  for (SDL_JoystickID id : order_) {
    const Device& d = devices_[id];
    JoystickInfo info;
    info.id = static_cast<uint32_t>(id);
    const char* name = d.controller ? SDL_GameControllerName(d.controller) : SDL_JoystickName(d.joystick);
    info.name = name ? name : "Joystick";
    info.product = info.name;
    list.push_back(info);
  }
  return list;
}

bool SdlInput::ReadJoystick(uint32_t id, JoystickReading& reading) {
  auto it = devices_.find(static_cast<SDL_JoystickID>(id));
  if (it == devices_.end() || !SDL_JoystickGetAttached(it->second.joystick)) return false;
  reading = {};
  if (SDL_GameController* c = it->second.controller) {
    for (int i = 0; i < 6; ++i) reading.axes[i] = SDL_GameControllerGetAxis(c, kControllerAxes[i]);
    for (size_t i = 0; i < std::size(kControllerButtons); ++i) {
      reading.buttons[i] = SDL_GameControllerGetButton(c, kControllerButtons[i]);
    }
    reading.hats[0] = HatAngle(PadHat(c));
    return true;
  }
  SDL_Joystick* j = it->second.joystick;
  const int axes = std::min(SDL_JoystickNumAxes(j), 8);
  for (int i = 0; i < axes; ++i) reading.axes[i] = SDL_JoystickGetAxis(j, i);
  const int hats = std::min(SDL_JoystickNumHats(j), 4);
  for (int i = 0; i < hats; ++i) reading.hats[i] = HatAngle(SDL_JoystickGetHat(j, i));
  const int buttons = std::min(SDL_JoystickNumButtons(j), 32);
  for (int i = 0; i < buttons; ++i) reading.buttons[i] = SDL_JoystickGetButton(j, i);
  return true;
}

}  // namespace host
