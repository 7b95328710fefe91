#include "support/filetree.h"

#include "support/oddfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zentaro::testing {

bool WriteText(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

bool BuildTree(const QString& root, const QStringList& entries, QStringList* fifos) {
    if (!QDir().mkpath(root))
        return false;
    for (const QString& entry : entries) {
        const qsizetype eq = entry.indexOf('=');
        const QString path = root + "/" + (eq < 0 ? entry : entry.left(eq));
        QByteArray contents = eq < 0 ? QByteArray() : entry.mid(eq + 1).toUtf8();
        contents.replace("\\n", "\n");
        bool ok = true;
        if (path.endsWith('/')) {
            ok = QDir().mkpath(path);
        } else if (contents == "<fifo>") {
            ok = QDir().mkpath(QFileInfo(path).absolutePath()) && MakeFifo(path);
            if (fifos)
                fifos->append(path);
        } else {
            ok = WriteText(path, contents);
        }
        if (!ok)
            return false;
    }
    return true;
}

} // namespace zentaro::testing
