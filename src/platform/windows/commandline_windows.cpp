#include "platform/commandline.h"
#include "text_windows.h"

// windows.h first: the shell header builds on its definitions.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

namespace zentaro::platform {

// main() gets its arguments in the ANSI code page, which loses what that page
// cannot hold; the wide command line has all of it.
std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc)
                        : std::vector<std::string>();
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i)
        args.push_back(windows_impl::Utf8(wide[i]));
    ::LocalFree(wide);
    return args;
}

} // namespace zentaro::platform
