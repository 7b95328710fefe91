#pragma once

#include "platform/opener.h"

namespace zentaro::platform {

// The desktop's own opener, through Qt's desktop services: the same code on
// every system. Needs a running QGuiApplication.
class DesktopOpener final : public Opener {
public:
    bool OpenUrl(const std::string& url) override;
    bool OpenFile(const std::string& path) override;
};

} // namespace zentaro::platform
