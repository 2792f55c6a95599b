// The message pump that drives all periodic work, and the wait for activation.
#pragma once
#include "vomak.h"

void WaitForActivation();
// The library's one way to wait a moment: until the next millisecond, or at once when a message has arrived
// since the queue was last looked at (or a sound has ended).
void RestUntilNextMillisecond();
// One step of a wait that pumps until something changes: pumps, then, unless the pump answers non-zero, lets the
// processor rest until the next millisecond or the next message. Returns the pump's answer.
int PumpWaitStep();
int UpdateCursorAndMenu();

