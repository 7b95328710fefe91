#include "platform/textviewer.h"

namespace zentaro::platform {

namespace {

class DesktopTextViewer final : public TextViewer {
public:
    explicit DesktopTextViewer(std::shared_ptr<Opener> opener) : opener_(std::move(opener)) {}

    bool ShowTextFile(const std::string& path) override {
        return opener_ && opener_->OpenFile(path);
    }

private:
    std::shared_ptr<Opener> opener_;
};

} // namespace

std::unique_ptr<TextViewer> CreateTextViewer(std::shared_ptr<Opener> opener) {
    return std::make_unique<DesktopTextViewer>(std::move(opener));
}

} // namespace zentaro::platform
