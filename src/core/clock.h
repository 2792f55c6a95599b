// The millisecond and microsecond clocks and the wait that keeps the message pump going: public calls, declared
// in the public header.
#pragma once
#include "vomak.h"
