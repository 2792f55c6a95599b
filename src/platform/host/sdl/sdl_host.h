// The SDL host: a real window for people. A program that selects no host gets this one.
#pragma once
#include <memory>
#include <string>

#include "platform/host/host.h"

namespace host {

std::unique_ptr<Host> CreateSdlHost();

// The desktop session that window classes are known in, as other programs of the same user see them: the video
// driver and, on X, the display ("x11-:0"). Empty where no display is shared (SDL's dummy and offscreen drivers,
// no video): each program is then a session of its own. Video must be up when it is asked.
std::string SdlDesktopSession();

}  // namespace host
