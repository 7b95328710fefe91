#include "app/application.h"

#include "pictures.h"

#include <QIcon>
#include <QMessageBox>
#include <QThread>
#include <exception>

namespace zentaro::app {

void ShowDefaultError(const QString& message) {
    QString text = message;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

ZentaroApplication::ZentaroApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The application's title. Set as its name, not as a display name, which
    // Qt would append to every window's title (" - Zentaro"), where each window
    // shows exactly its own.
    setApplicationName(QStringLiteral("Zentaro"));
    // Every window carries the program's icon, drawn from the compiled-in SVG at
    // whatever size the window system asks for; the desktop file name lets the
    // task switcher match the windows to the installed desktop entry.
    setWindowIcon(assets::PictureIcon(QStringLiteral(":/zentaro.svg")));
    setDesktopFileName(QStringLiteral("zentaro"));
}

// Only on the application's own thread: no window may be shown from another,
// and background work fails silently, so what escapes a handler there goes on
// to that thread's own code.
bool ZentaroApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (QThread::currentThread() != thread())
            throw;
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        if (QThread::currentThread() != thread())
            throw;
        showError(QStringLiteral("An unexpected error occurred."));
    }
    // Shown: the event counts as handled.
    return true;
}

} // namespace zentaro::app
