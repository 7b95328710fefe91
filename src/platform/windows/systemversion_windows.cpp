#include "systemversion_windows.h"

#include <windows.h>

namespace zentaro::platform::windows_impl {

std::optional<SystemVersion> RunningSystemVersion() {
    // ntdll is in every process; its handle needs no freeing.
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (!ntdll)
        return std::nullopt;
    using GetVersionFunction = LONG(WINAPI*)(RTL_OSVERSIONINFOEXW*);
    // Through the generic function type, which converts to any other without a
    // warning.
    const auto getVersion = reinterpret_cast<GetVersionFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(ntdll, "RtlGetVersion")));
    if (!getVersion)
        return std::nullopt;
    RTL_OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (getVersion(&info) != 0) // STATUS_SUCCESS
        return std::nullopt;
    return SystemVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
                         info.wServicePackMajor};
}

} // namespace zentaro::platform::windows_impl
