#include "platform/textviewer.h"
#include "text_windows.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

namespace zentaro::platform {

namespace {

class NotepadViewer final : public TextViewer {
public:
    bool ShowTextFile(const std::string& path) override {
        // Quoted as one argument; a quote inside would end it early, and no
        // Windows path has one. Without a path Notepad would open empty.
        if (path.empty() || path.find('"') != std::string::npos)
            return false;
        const std::wstring argument = L"\"" + windows_impl::Wide(path) + L"\"";
        // Values above 32 mean started.
        const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(
            nullptr, nullptr, L"notepad.exe", argument.c_str(), nullptr, SW_SHOWNORMAL));
        return result > 32;
    }
};

} // namespace

std::unique_ptr<TextViewer> CreateTextViewer(std::shared_ptr<Opener>) {
    return std::make_unique<NotepadViewer>();
}

} // namespace zentaro::platform
