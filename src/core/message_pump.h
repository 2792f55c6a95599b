// The message pump that drives all periodic work, and the wait for activation.
#pragma once
#include "vomak.h"

void WaitForActivation();
// One step of a wait that pumps until something changes: pumps, then, unless the pump answers non-zero, lets the
// processor rest until the next millisecond or the next message. Returns the pump's answer.
int PumpWaitStep();
int UpdateCursorAndMenu();

