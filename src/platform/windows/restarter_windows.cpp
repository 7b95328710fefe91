#include "restarter_windows.h"

#include "platform/restart.h"
#include "systemversion_windows.h"
#include "text_windows.h"

#include <climits>
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

namespace zentaro::platform {

namespace windows_impl {

std::optional<std::string> InCodePage(const std::string& text, unsigned codePage) {
    if (text.empty())
        return std::string();
    const std::wstring wide = Wide(text);
    if (wide.empty() || wide.size() > INT_MAX)
        return std::nullopt;
    // UTF-8 spells everything, but takes neither the flag nor the question;
    // text that was not UTF-8 to begin with does not come back the same.
    if (codePage == CP_UTF8) {
        if (Utf8(wide) != text)
            return std::nullopt;
        return text;
    }
    const int length = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    const int size = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), length,
                                           nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), length, bytes.data(),
                              size, nullptr, &usedDefault) != size ||
        usedDefault)
        return std::nullopt;
    return bytes;
}

} // namespace windows_impl

namespace {

class WindowsRestarter final : public Restarter {
public:
    std::string ScriptName() const override { return "start.bat"; }

    // The path is written in the OEM code page, the one cmd reads a batch file
    // in (its console's, unless the user chose another). A path that code page
    // cannot spell gives no script: a batch file cannot start a path its code
    // page cannot spell, and would start another name or none. No double-byte
    // code page has '"' or '%' as the second byte of a character, so the batch
    // writer's look at single bytes holds for them too.
    std::optional<std::string> ScriptFor(const std::string& executable) const override {
        const auto path = windows_impl::InCodePage(executable, ::GetOEMCP());
        if (!path)
            return std::nullopt;
        // Without an answer from the kernel: the program needs Windows 7 or
        // later anyway, and all of them have "timeout".
        const auto version = windows_impl::RunningSystemVersion();
        return WindowsRestartBatch(*path, version ? static_cast<int>(version->major) : 6);
    }

    // The shell's "open" verb runs a batch file in a console of its own, hidden
    // here, and does not wait for it.
    bool RunScript(const std::string& scriptPath, const std::string& workingFolder) override {
        const std::wstring file = windows_impl::Wide(scriptPath);
        const std::wstring folder = windows_impl::Wide(workingFolder);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        info.lpVerb = L"open";
        info.lpFile = file.c_str();
        info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
        info.nShow = SW_HIDE;
        return ::ShellExecuteExW(&info) != FALSE;
    }
};

} // namespace

std::unique_ptr<Restarter> CreateRestarter() {
    return std::make_unique<WindowsRestarter>();
}

} // namespace zentaro::platform
