#pragma once

#include <QApplication>
#include <QString>
#include <functional>

namespace zentaro::app {

// The application's default error box: a critical message titled with the
// application's name, its text shown as plain text (CR line breaks as such).
void ShowDefaultError(const QString& message);

// The window program's application object. An exception that escapes an
// event handler or a slot is shown in the default error box, and the program
// goes on with its next event instead of ending.
class ZentaroApplication : public QApplication {
    Q_OBJECT

public:
    ZentaroApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // How an escaped exception is shown; the default error box unless a test
    // says otherwise.
    std::function<void(const QString&)> showError = ShowDefaultError;
};

} // namespace zentaro::app
