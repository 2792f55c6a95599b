// What the library core calls of input: DirectInput's start and end, keyboard draining, text input, IME.
#pragma once
#include "platform/win32/types.h"

int StartDirectInputLayer();
int EndDirectInputLayer();
int ResetTextInputState();
int DeleteAllTextInputs();
int DrainKeyboardEvents();
int ProcessActiveTextInput();
int PushInputCharByte(unsigned char byte);
// 1 when the input-character ring holds its 1,024 bytes.
int IsInputCharRingFull();
LRESULT HandleImeMessage(HWND window, UINT message, WPARAM first, LPARAM second);
int SetInputStateFlag46F();
int ClearInputStateFlag46F();
int SetInputStateFlag470();
int ClearInputStateFlag470();
