// The Vomak library's public interface: what a program (the game first) calls.
#pragma once

#include <cstdint>
