#include "platform/host/idle.h"

#include <algorithm>

#include "platform/host/platform.h"
#include "platform/host/platform_state.h"
#include "platform/media/mixer.h"

namespace host {
namespace {
constexpr uint64_t kNsPerMs = 1000000;
// A held loop rests at most this long at a time: the look that ends a wait (its time has come) cannot tell
// itself from one more round of it, and the next look, the frame's first, must not start a millisecond late.
constexpr uint64_t kRestNs = 500000;
// A spin comes back to the queue within this much of its own time (an empty pump costs well under a
// microsecond); a loop that loads, decodes or catches up between its looks takes longer.
constexpr uint64_t kSpinGapNs = 10000;

// The idle state of the thread that looks at the queue; null on any other thread, whose notes are ignored.
// The first thread to look owns it until the platform is reset.
IdleWatch* OwnWatch(bool claim) {
  IdleWatch& watch = State().idle;
  const std::thread::id self = std::this_thread::get_id();
  std::thread::id owner = watch.owner.load(std::memory_order_relaxed);
  if (owner == self) return &watch;
  if (claim && owner == std::thread::id{} && watch.owner.compare_exchange_strong(owner, self)) return &watch;
  return nullptr;
}

void ForgetRounds(IdleWatch& watch) {
  watch.clockReadsAtRound = watch.clockReads;
  watch.lastRoundEnd = 0;
  watch.quickRounds = 0;
}
}  // namespace

void PollHostEvents() {
  Host& h = Current();
  const uint64_t interval = h.EventPollInterval();
  if (interval != 0) {
    IdleWatch& watch = State().idle;
    const uint64_t slot = h.Nanoseconds() / interval;
    if (watch.polled && slot == watch.lastPollSlot) return;
    watch.polled = true;
    watch.lastPollSlot = slot;
    watch.tookHostEvents = true;
  }
  h.PumpEvents();
}

uint64_t ChangeCount() { return State().changes.load(std::memory_order_acquire); }

void SignalChange() {
  PlatformState& s = State();
  {
    std::lock_guard<std::mutex> guard(s.lock);
    s.changes.fetch_add(1, std::memory_order_release);
  }
  s.queueChanged.notify_all();
}

void SignalNotice() {
  State().noticesMarked.store(true, std::memory_order_release);
  SignalChange();
}

void PostMarkedNotices() {
  PlatformState& s = State();
  if (!s.noticesMarked.exchange(false, std::memory_order_acq_rel)) return;
  // A source that marked one lives in the output's mixer, so the output is made already.
  if (!Current().Audio().mixer().PostNotices()) s.noticesMarked.store(true, std::memory_order_relaxed);
}

namespace {
// WaitForChange from a clock reading the caller has just made; `seen` becomes the count that ended the wait.
// Answers the clock's reading when it ended.
uint64_t WaitFrom(uint64_t now, uint64_t deadline, uint64_t& seen) {
  Host& h = Current();
  const uint64_t interval = h.EventPollInterval();
  for (;;) {
    const uint64_t count = ChangeCount();
    if (count != seen) {
      seen = count;
      return now;
    }
    if (now >= deadline) return now;
    // The host's events are due again at the next poll slot: a close or a key turns into a message there.
    const uint64_t until = interval == 0 ? deadline : std::min(deadline, (now / interval + 1) * interval);
    now = h.IdleUntil(until, seen);
    if (now < deadline) PollHostEvents();
  }
}

bool WaitFromChanged(uint64_t now, uint64_t deadline, uint64_t& seen) {
  const uint64_t before = seen;
  WaitFrom(now, deadline, seen);
  return seen != before;
}
}  // namespace

bool WaitForChange(uint64_t deadline, uint64_t seen) {
  return WaitFromChanged(Current().Nanoseconds(), deadline, seen);
}

// A change the wait ended on counts as seen, as a look would: a loop of such waits without a look between rests
// in each.
bool WaitForNextMillisecond(uint32_t ticks) {
  IdleWatch* watch = OwnWatch(false);
  uint64_t ownSeen = ChangeCount();
  uint64_t& seen = watch ? watch->seenChanges : ownSeen;
  const uint64_t now = Current().Nanoseconds();
  return WaitFromChanged(now, (now / kNsPerMs + ticks) * kNsPerMs, seen);
}

void NoteClockRead() {
  if (IdleWatch* watch = OwnWatch(false)) ++watch->clockReads;
}

// A loop that sleeps, or draws, is not a spin; a present arms the watch again.
void NoteSleep() {
  if (IdleWatch* watch = OwnWatch(false)) watch->presentedLast = false;
}

void NoteSurfaceWork(bool present) {
  if (IdleWatch* watch = OwnWatch(false)) {
    watch->presentedLast = present;
    ForgetRounds(*watch);
  }
}

// A round is a look after a present with a clock read since the last one; several looks within one pump are
// one round. Only a round's look reads the clock.
void LookBegins() {
  IdleWatch* watch = OwnWatch(true);
  if (!watch) return;
  watch->timedLook = watch->presentedLast && watch->clockReads != watch->clockReadsAtRound;
  if (watch->timedLook) {
    watch->lookStart = Current().Nanoseconds();
    watch->tookHostEvents = false;
  }
}

void LookSaw(uint64_t seen) {
  if (IdleWatch* watch = OwnWatch(false)) watch->seenChanges = seen;
}

void LookFoundNothing() {
  IdleWatch* watch = OwnWatch(false);
  if (!watch || !watch->timedLook) return;
  watch->timedLook = false;
  watch->clockReadsAtRound = watch->clockReads;
  // Only the caller's own time between two rounds tells; a rest, and taking the host's events (tens of
  // microseconds once per poll interval), are the platform's.
  const bool quick = watch->lastRoundEnd != 0 && watch->lookStart - watch->lastRoundEnd <= kSpinGapNs;
  watch->quickRounds = quick ? watch->quickRounds + 1 : 0;
  Host& h = Current();
  uint64_t end = watch->lookStart;
  if (watch->tookHostEvents) end = h.Nanoseconds();
  if (watch->quickRounds >= 2) {
    // A change that ends the rest has not been looked at: what the last look saw stays, so the next wait ends
    // at once for it.
    uint64_t seen = watch->seenChanges;
    end = WaitFrom(end, std::min((end / kNsPerMs + 1) * kNsPerMs, end + kRestNs), seen);
  }
  watch->lastRoundEnd = end;
}

}  // namespace host
