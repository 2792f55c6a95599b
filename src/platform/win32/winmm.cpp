#include "platform/win32/winmm.h"

#include "platform/host/idle.h"
#include "platform/host/platform.h"
#include "platform/host/platform_state.h"

DWORD timeGetTime() {
  host::NoteClockRead();
  return static_cast<DWORD>(host::Current().Nanoseconds() / 1000000u);
}

MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size) {
  if (!caps || size < sizeof(TIMECAPS)) return TIMERR_NOCANDO;
  caps->wPeriodMin = 1;
  caps->wPeriodMax = 1000000;
  return TIMERR_NOERROR;
}

MMRESULT timeBeginPeriod(UINT period) {
  if (period < 1) return TIMERR_NOCANDO;
  ++host::State().periodsBegun;
  return TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(UINT period) {
  if (period < 1 || host::State().periodsBegun == 0) return TIMERR_NOCANDO;
  --host::State().periodsBegun;
  return TIMERR_NOERROR;
}
