#include "core/clock.h"

#include "core/message_pump.h"
#include "core/system_state.h"
#include "core/win32_calls.h"

// Both flag values give the platform clock: the time-stamp counter fields are cleared at window creation.
int GetMillisecondCount(int) { return static_cast<int>(timeGetTime()); }

int64_t GetMicrosecondCount(int) {
  if (SystemState.performanceCounterFlag && SystemState.performanceFrequency != 0) {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    long double micro = static_cast<long double>(counter.QuadPart) * 1000000.0L /
                        static_cast<long double>(SystemState.performanceFrequency);
    return static_cast<int64_t>(micro);
  }
  return static_cast<int64_t>(timeGetTime()) * 1000;
}

int WaitMilliseconds(int ms) {
  uint32_t start = static_cast<uint32_t>(GetMillisecondCount(0));
  for (;;) {
    if (PumpWindowMessages() != 0) break;
    uint32_t elapsed = static_cast<uint32_t>(GetMillisecondCount(0)) - start;
    if (ms <= 0 || elapsed >= static_cast<uint32_t>(ms)) break;
    RestUntilNextMillisecond();
  }
  return 0;
}
