#pragma once

#include "platform/opener.h"

#include <memory>
#include <string>

namespace zentaro::platform {

// Shows a text file (the licence, the read-me) to the user as plain text.
class TextViewer {
public:
    virtual ~TextViewer() = default;
    // False when no viewer could be started for it.
    virtual bool ShowTextFile(const std::string& path) = 0;
};

// Windows shows the file in Notepad, which every installation has, whatever
// program the user has tied to its type; elsewhere opener hands it to the
// desktop's text viewer.
std::unique_ptr<TextViewer> CreateTextViewer(std::shared_ptr<Opener> opener);

} // namespace zentaro::platform
