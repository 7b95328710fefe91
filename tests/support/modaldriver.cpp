#include "support/modaldriver.h"

#include <QDialog>

namespace zentaro::testing {

ModalDriverBase::ModalDriverBase(std::function<bool(QWidget*)> tryDrive,
                                 std::chrono::milliseconds deadline)
    : tryDrive_(std::move(tryDrive)), deadline_(Clock::now() + deadline) {
    poll_.setInterval(5);
    QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
    poll_.start();
}

ModalDriverBase::~ModalDriverBase() = default;

const char* ModalDriverBase::failure() const {
    if (driven_ && !expired_)
        return "";
    if (driven_)
        return "the dialog was still open at the deadline";
    return expired_ ? "no dialog of the expected kind came before the deadline"
                    : "no dialog of the expected kind was shown";
}

void ModalDriverBase::Poll() {
    if (Clock::now() >= deadline_) {
        poll_.stop();
        expired_ = true;
        CloseEveryModal();
        return;
    }
    if (driven_) {
        // Driven: keep watching only so that a dialog the drive left open is
        // still closed at the deadline.
        if (!QApplication::activeModalWidget())
            poll_.stop();
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    driven_ = tryDrive_(modal);
}

void ModalDriverBase::CloseEveryModal() {
    // Innermost first; each closes its own exec() loop. Bounded in case a
    // window refuses to close.
    for (int i = 0; i < 32; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal)
            modal->hide();
    }
}

} // namespace zentaro::testing
