// The SDL host: a real window for people. A program that selects no host gets this one.
#pragma once
#include <memory>

#include "platform/host/host.h"

namespace host {

std::unique_ptr<Host> CreateSdlHost();

}  // namespace host
