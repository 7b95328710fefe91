#pragma once

#include "platform/opener.h"
#include "platform/textviewer.h"

#include <string>
#include <vector>

namespace zentaro::testing {

// Records what would have been handed to the desktop or the text viewer,
// instead of starting a browser or a viewer.
class RecordingOpener final : public platform::Opener, public platform::TextViewer {
public:
    bool OpenUrl(const std::string& url) override {
        urls.push_back(url);
        return true;
    }
    bool OpenFile(const std::string& path) override {
        files.push_back(path);
        return true;
    }
    bool ShowTextFile(const std::string& path) override {
        files.push_back(path);
        return true;
    }
    std::vector<std::string> urls;
    std::vector<std::string> files;
};

} // namespace zentaro::testing
