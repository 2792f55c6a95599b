// How the platform keeps a program light: the host's events are taken at most once per its poll interval, and
// a loop that only waits (looks at an empty queue, reads the clock, looks again, with nothing drawn since its
// last present) is held for up to half a millisecond, never past the next whole millisecond, instead of
// spinning, as the original platform lowers a thread that peeks at an empty queue in a loop. Waits end early
// when a message is posted or sent.
#pragma once
#include <cstdint>

namespace host {

// Takes the host's events unless they were taken within the host's poll interval.
void PollHostEvents();

// What the caller did: a clock read, surface work (a present of the primary, or any other lock, blit or flip),
// or a sleep of its own (a loop that sleeps needs no holding).
void NoteClockRead();
void NoteSurfaceWork(bool present);
void NoteSleep();

// Called when a look at the queue found nothing: holds a waiting loop for a moment.
void IdleIfWaiting();

// Holds the caller until the clock reaches its next whole millisecond (or the whole millisecond `ticks` on),
// or a message arrives.
void IdleUntilNextMillisecond(uint32_t ticks = 1);

}  // namespace host
