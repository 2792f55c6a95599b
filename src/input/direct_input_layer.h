// The keyboard and joypads through DirectInput: the layer's state record, its start and stop, and the two
// questions the game asks (is a key down, which pad bits are held).
#pragma once
#include <cstdint>

#include "platform/directx/dinput.h"

struct JoypadRecord {
  IDirectInputDevice7A* device;  // null when the slot is empty
  HANDLE event;                  // manual-reset, signalled by DirectInput when the pad's data change
  DIJOYSTATE state;
  uint32_t lastRead;  // timeGetTime of the last read
};

struct DirectInputLayerState {
  IDirectInput7A* directInput;  // null while the layer is stopped
  IDirectInputDevice7A* keyboardDevice;
  HANDLE keyboardEvent;
  uint32_t lastKeyboardRefresh;
  uint8_t keyStateArray[256];  // by DirectInput key code, bit 7 down
  int32_t padCount;
  JoypadRecord pads[8];
  int32_t keyboardStateFallback;
  int32_t messageFlag46F;
  int32_t messageFlag470;
};
extern DirectInputLayerState DirectInputLayer;

// 0 started (or already), -1 without a DirectInput object, 1 when the keyboard's notification failed.
int StartDirectInputLayer();
int EndDirectInputLayer();
// The joystick enumeration callback: 1 to go on, 0 to stop (eight pads held).
BOOL AddJoypadDevice(const DIDEVICEINSTANCEA* instance, LPVOID context);
// 1 when the key-state array was read afresh, 0 when it was left as it was.
int RefreshKeyStateArray();
// 0, or -1 when the main window went away during a retry.
int PollJoypadDevice(int index);
// 1 while the key is down; 0 for a key that is up or a code outside 0 to 255.
int QueryKeyDown(int keyCode);
// The pad's directions and buttons (pad number 1 to 8, or 0), with 0x1000 the keyboard's keys merged in.
int GetPadInputBits(int inputType);
// Reads and throws away the keyboard's buffered events, so its buffer never overflows; returns 0.
int DrainKeyboardEvents();
int SetInputStateFlag46F();
int ClearInputStateFlag46F();
int SetInputStateFlag470();
int ClearInputStateFlag470();
