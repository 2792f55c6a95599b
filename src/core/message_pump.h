// The message pump that drives all periodic work, and the wait for activation.
#pragma once

int PumpWindowMessages();
void WaitForActivation();
int UpdateCursorAndMenu();

