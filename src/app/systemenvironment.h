#pragma once

#include "app/appenvironment.h"

namespace zentaro::app {

// The environment of the real program: this machine's sources, the running
// image's version block, the desktop's opener, the configured server.
AppEnvironment SystemEnvironment();

// Registers the fonts the window's layout was made for (Tahoma, regular and
// bold, compiled in). Needs a running QGuiApplication.
void LoadApplicationFonts();

} // namespace zentaro::app
