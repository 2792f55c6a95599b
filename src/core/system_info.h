// The start-up block of system information and the refusal below DirectX 7.
#pragma once

int LogSystemInfoAndCheckDirectX();
// The DirectX version code the probe reaches on this platform; logs each failed rung.
int ProbeDirectXVersion();
