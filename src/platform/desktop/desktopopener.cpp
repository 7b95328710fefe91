#include "platform/desktop/desktopopener.h"

#include <QDesktopServices>
#include <QUrl>

namespace zentaro::platform {

bool DesktopOpener::OpenUrl(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::StrictMode));
}

bool DesktopOpener::OpenFile(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

} // namespace zentaro::platform
