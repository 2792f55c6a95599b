// The neighbouring subsystems the core starts, stops and drives from the pump and the window procedure.
#pragma once
#include "input/input_services.h"
#include "movie/movie_services.h"
#include "network/network_services.h"
#include "sound/sound_services.h"
