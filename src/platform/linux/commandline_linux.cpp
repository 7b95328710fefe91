#include "platform/commandline.h"

namespace zentaro::platform {

// Linux passes the bytes the user typed; file names are bytes too.
std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

} // namespace zentaro::platform
