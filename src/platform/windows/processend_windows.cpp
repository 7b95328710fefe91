#include "platform/processend.h"

#include <cstdio>
#include <iostream>
#include <windows.h>

namespace zentaro::platform {

void EndProcess(int status) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const auto code = static_cast<UINT>(status);
    ::TerminateProcess(::GetCurrentProcess(), code);
    // Only when the system refused to end this process this way.
    ::ExitProcess(code);
}

} // namespace zentaro::platform
