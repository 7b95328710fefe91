#pragma once

#include "app/appenvironment.h"

namespace zentaro::app {

// The environment of the real program: this machine's sources, the running
// image's version block, the desktop's opener, the configured server.
AppEnvironment SystemEnvironment();

} // namespace zentaro::app
