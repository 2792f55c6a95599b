// What the library core calls of input: DirectInput's start and end, keyboard draining, text input, IME.
#pragma once
#include "input/direct_input_layer.h"
#include "input/text_input.h"
