// The message pump that drives all periodic work, and the wait for activation.
#pragma once
#include "vomak.h"

void WaitForActivation();
int UpdateCursorAndMenu();

