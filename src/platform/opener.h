#pragma once

#include <string>

namespace zentaro::platform {

// Hands addresses and files to the desktop, which opens them with the user's
// chosen programs (the web browser, the text viewer).
class Opener {
public:
    virtual ~Opener() = default;

    // False when the desktop refused; callers that ignore failures may ignore it.
    virtual bool OpenUrl(const std::string& url) = 0;
    virtual bool OpenFile(const std::string& path) = 0;
};

} // namespace zentaro::platform
