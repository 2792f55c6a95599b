// The DirectMusic object as far as the system check needs it: COM creation answers with an object that
// supports its interface, or fails where a machine without DirectMusic would.
#pragma once
#include "platform/win32/com.h"

extern const CLSID CLSID_DirectMusic;
extern const IID IID_IDirectMusic;

class IDirectMusic : public IUnknown {};

// CoCreateInstance's route for CLSID_DirectMusic.
HRESULT CreateDirectMusicInstance(REFIID iid, void** out);
