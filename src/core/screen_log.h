// The on-screen log overlay.
#pragma once

int InitScreenLog();
int EndScreenLog();
int GetScreenLogLineCount();
// Draws the overlay's lines on the screen (the frame presenter calls it); 0.
int DrawScreenLog();
