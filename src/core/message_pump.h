// The message pump that drives all periodic work, and the wait for activation.
#pragma once

int PumpWindowMessages();
void WaitForActivation();
int UpdateCursorAndMenu();

// The housekeeping steps every call ends with, in their order (the text-input step runs with the re-entry
// guard set, so a pump it calls returns at once).
using PumpHousekeepingStep = int (*)();
const PumpHousekeepingStep* GetPumpHousekeeping(int* count);
// The background work of each pass while the application is inactive (network messages, downloads, stream
// sounds), in its order.
const PumpHousekeepingStep* GetPumpInactivePassWork(int* count);
int IsPumpReentryGuardSet();
