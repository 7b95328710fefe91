#pragma once

#include <string>
#include <vector>

namespace zentaro::platform {

// The program's arguments after its own name, as UTF-8. Where the system hands
// main() its arguments in another encoding (a Windows code page, which cannot
// hold every file name), they are read again from the system's own copy; argc
// and argv are used where they already are what the user typed.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

} // namespace zentaro::platform
