// The on-screen log overlay.
#pragma once

int InitScreenLog();
int EndScreenLog();
int GetScreenLogLineCount();
