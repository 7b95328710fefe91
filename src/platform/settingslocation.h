#pragma once

#include <string>

namespace zentaro::platform {

// Where the system keeps a program's per-user settings.
struct SettingsLocation {
    bool registry = false; // in the system's registry: there is no file
    std::string file;      // the settings file otherwise, an absolute path
};

// The per-user settings of the program `application` of `organisation`, where
// Qt's native settings format keeps them: on Linux the file
// <config>/<organisation>/<application>.conf, <config> being XDG_CONFIG_HOME when
// it is set and absolute, else $HOME/.config (a relative XDG_CONFIG_HOME, which
// the XDG rules say to ignore, is ignored, though Qt 6.4 would take it from the
// current folder); on Windows the registry. Only the environment is read:
// nothing at that place is touched.
SettingsLocation UserSettingsLocation(const std::string& organisation,
                                      const std::string& application);

} // namespace zentaro::platform
