// The keyboard as Win32 reports it on the substitute: the virtual-key state array.
#pragma once
#include "platform/win32/types.h"

// 256 bytes by virtual-key code: bit 7 set while the key is down, bit 0 toggled by each press.
BOOL GetKeyboardState(BYTE* state);
// One virtual key's state: the high bit set while the key is down, bit 0 toggled by each press.
SHORT GetKeyState(int virtualKey);
