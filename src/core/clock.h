// The millisecond and microsecond clocks and the wait that keeps the message pump going.
#pragma once
#include <cstdint>

// The platform's millisecond count, wrapping; take elapsed times as unsigned differences.
int GetMillisecondCount(int flag);
int64_t GetMicrosecondCount(int flag);
int WaitMilliseconds(int ms);
