#include "share/savetarget.h"

#include "platform/files.h"

#include <QFileInfo>

namespace zentaro::share {

SaveTarget ExamineSaveTarget(const QString& path) {
    SaveTarget target;
    target.file = path;
    const QFileInfo info(path);
    if (!info.exists()) {
        if (!info.isSymLink())
            return target;
        target.kind = SaveTarget::Kind::Refused;
        target.reason = QStringLiteral("It is a link that leads nowhere.");
        return target;
    }
    // The platform's own look at the name, which never opens a FIFO or device:
    // asked for no bytes, a regular file answers with its contents (when empty)
    // or with "too large", anything else with "not regular".
    platform::FileReadFailure why;
    const bool empty = platform::ReadRegularFile(path.toStdString(), 0, why).has_value();
    if (!empty && why.kind == platform::FileReadFailure::Kind::NotRegular) {
        target.kind = SaveTarget::Kind::Refused;
        target.reason = info.isDir() ? QStringLiteral("It is a folder.")
                                     : QStringLiteral("It is not a regular file.");
        return target;
    }
    // A regular file, even one we may not read (the write then says why not).
    target.kind = SaveTarget::Kind::Existing;
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        target.file = canonical;
    return target;
}

} // namespace zentaro::share
