#include "platform/host/idle.h"

#include <algorithm>

#include "platform/host/platform.h"
#include "platform/host/platform_state.h"

namespace host {
namespace {
constexpr uint64_t kNsPerMs = 1000000;
// A held loop rests at most this long at a time: the look that ends a wait (its time has come) cannot tell
// itself from one more round of it, and the next look, the frame's first, must not start a millisecond late.
constexpr uint64_t kRestNs = 500000;
}

void PollHostEvents() {
  Host& h = Current();
  const uint64_t interval = h.EventPollInterval();
  if (interval != 0) {
    IdleWatch& watch = State().idle;
    const uint64_t slot = h.Nanoseconds() / interval;
    if (watch.polled && slot == watch.lastPollSlot) return;
    watch.polled = true;
    watch.lastPollSlot = slot;
  }
  h.PumpEvents();
}

void NoteClockRead() { State().idle.clockReads.fetch_add(1, std::memory_order_relaxed); }

void NoteSleep() {
  IdleWatch& watch = State().idle;
  watch.waitingLooks = 0;
  watch.clockReadsAtIdleLook = watch.clockReads.load(std::memory_order_relaxed);
}

void NoteSurfaceWork(bool present) {
  State().idle.presentedLast = present;
  NoteSleep();
}

void IdleIfWaiting() {
  IdleWatch& watch = State().idle;
  if (!watch.presentedLast) return;
  // Only a loop that has come round twice, reading the clock each time, is held: a frame loop that pumps
  // once or twice after its present and draws again never is. Looks within one pump count once.
  const uint64_t reads = watch.clockReads.load(std::memory_order_relaxed);
  if (reads == watch.clockReadsAtIdleLook) return;
  watch.clockReadsAtIdleLook = reads;
  if (++watch.waitingLooks < 2) return;
  Host& h = Current();
  const uint64_t now = h.Nanoseconds();
  h.IdleUntil(std::min((now / kNsPerMs + 1) * kNsPerMs, now + kRestNs));
}

void IdleUntilNextMillisecond(uint32_t ticks) {
  Host& h = Current();
  h.IdleUntil((h.Nanoseconds() / kNsPerMs + ticks) * kNsPerMs);
}

}  // namespace host
