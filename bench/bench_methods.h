// How a benchmark row is measured: each benchmark labels itself with one of these, and the table of ratios
// (bench_main.cpp) shows the label and leaves inner loops out. Times are processor time: the benchmark thread's,
// or the whole process's where a peer works on a thread of its own.
#pragma once

// The library's public call (or a peer's) on a started library, with its handle lookup, lock and clipping.
inline constexpr const char* kPublicCall = "public call";
// Only our pixel loop, without the public call around it: not comparable with a peer's public call.
inline constexpr const char* kInnerLoop = "inner loop";
// A call of the platform's DirectDraw substitute.
inline constexpr const char* kSubstituteCall = "substitute call";
// The sound device's mixing of playing buffers, counted in the process's processor time (every thread).
inline constexpr const char* kDeviceMix = "device mix, process time";
// A public call timed on the caller's thread alone, while a peer may do part of the same work on another thread.
inline constexpr const char* kCallersThread = "public call, caller's thread";
