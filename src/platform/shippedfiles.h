#pragma once

#include <string>

namespace zentaro::platform {

// The shared data folder of an installation, relative to the folder of the
// installed executables: "../share/zentaro" for one under a prefix such as /usr.
extern const char* const kSharedFolderFromProgram;

// What a shipped name must be to count.
enum class ShippedKind { File, Folder };

// Where the shipped file or folder `name` is, for a program in programFolder
// (UTF-8, with or without a trailing separator). Beside the program when one of
// the right kind is there, as in a build folder; else in the shared data folder
// when one is there, as in an installation under a prefix; else beside the
// program, so that what the caller reports names the usual place. Links count
// for what they lead to. Empty when programFolder is empty (unknown).
std::string ShippedPath(const std::string& programFolder, const std::string& name,
                        ShippedKind kind);

} // namespace zentaro::platform
