// How the platform waits and keeps a program light.
//
// Every wait of the platform and the library goes through one primitive, WaitForChange: it holds the pumping
// thread until a deadline on the host's clock (Host::Nanoseconds; every deadline here is on that clock) or until
// the change count moves past the caller's snapshot. The count moves on a post, a send, a quit and the end of a
// sound, so a snapshot taken when the caller last looked at the queue loses no wake-up in between. While it
// waits the host's events are taken once per poll interval, as a look at the queue would.
//
// A loop that only spins on the queue after a present (looks at an empty queue, reads the clock and comes
// straight back, within a few microseconds) is held for up to half a millisecond at a time, never past the next
// whole millisecond, as the original platform lowers a thread that peeks at an empty queue in a loop. A loop
// that works between its looks, draws, or sleeps on its own is never held.
#pragma once
#include <cstdint>

namespace host {

// Takes the host's events unless they were taken within the host's poll interval.
void PollHostEvents();

// The change count now. A caller that takes it before looking at what it waits for and passes it to
// WaitForChange wakes for anything that happens after that.
uint64_t ChangeCount();
// Moves the change count (the lock must not be held): wakes every wait. Any thread.
void SignalChange();
// A mixer source marked a notice to post (media::MarkedNotices): wakes every wait, and the pumping thread
// posts it when it next looks at the queue or answers a wait. Any thread.
void SignalNotice();
// The pumping thread's side: has the mixer's sources post what they marked; one the queue refused is tried
// again at the next call.
void PostMarkedNotices();

// Holds the caller until the host's clock reaches `deadline` or the change count differs from `seen`; answers
// whether it ended on a change.
bool WaitForChange(uint64_t deadline, uint64_t seen);
// WaitForChange until the clock reaches its next whole millisecond (or the whole millisecond `ticks` on), from
// the change count of the pumping thread's last look at the queue or wait, whichever came later.
bool WaitForNextMillisecond(uint32_t ticks = 1);

// What the pumping thread did: a clock read, surface work (a present of the primary, or any other lock, blit or
// flip), or a sleep of its own (a loop that sleeps needs no holding).
void NoteClockRead();
void NoteSurfaceWork(bool present);
void NoteSleep();

// PeekMessageA's side: a look at the queue begins; it saw the change count `seen`; it found nothing (which
// holds a spinning loop for a moment).
void LookBegins();
void LookSaw(uint64_t seen);
void LookFoundNothing();

}  // namespace host
