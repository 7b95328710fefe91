#include "i18n/plaintextbox.h"

#include <QMimeData>

namespace zentaro::i18n {

namespace {
bool Pastable(const QMimeData* source) {
    return source != nullptr && !source->formats().isEmpty();
}
} // namespace

PlainTextBox::PlainTextBox(QWidget* parent) : QPlainTextEdit(parent) {}

bool PlainTextBox::canInsertFromMimeData(const QMimeData* source) const {
    return Pastable(source) && QPlainTextEdit::canInsertFromMimeData(source);
}

void PlainTextBox::insertFromMimeData(const QMimeData* source) {
    if (Pastable(source))
        QPlainTextEdit::insertFromMimeData(source);
}

} // namespace zentaro::i18n
