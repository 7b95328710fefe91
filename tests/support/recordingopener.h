#pragma once

#include "platform/opener.h"
#include "platform/textviewer.h"

#include <string>
#include <vector>

namespace zentaro::testing {

// Records what would have been handed to the desktop or the text viewer,
// instead of starting a browser or a viewer, and answers `answer`.
class RecordingOpener final : public platform::Opener, public platform::TextViewer {
public:
    bool OpenUrl(const std::string& url) override {
        urls.push_back(url);
        return answer;
    }
    bool OpenFile(const std::string& path) override {
        files.push_back(path);
        return answer;
    }
    bool ShowTextFile(const std::string& path) override {
        files.push_back(path);
        return answer;
    }
    std::vector<std::string> urls;
    std::vector<std::string> files;
    bool answer = true;
};

} // namespace zentaro::testing
