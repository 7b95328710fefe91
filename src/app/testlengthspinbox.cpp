#include "app/testlengthspinbox.h"

#include "app/shellrules.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace zentaro::app {

TestLengthSpinBox::TestLengthSpinBox(QWidget* parent) : QSpinBox(parent) {
    setRange(kMinTestLength, kMaxTestLength);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

void TestLengthSpinBox::WidenToFit() {
    // Styles differ in their buttons and frames: the size the style asks for
    // the widest value, not a width that happens to fit one of them.
    const int needed = sizeHint().width();
    if (width() < needed)
        resize(needed, height());
}

void TestLengthSpinBox::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    QSpinBox::keyPressEvent(event);
    if (enter)
        emit returnPressed();
}

void TestLengthSpinBox::changeEvent(QEvent* event) {
    QSpinBox::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        WidenToFit();
}

QValidator::State TestLengthSpinBox::validate(QString& input, int& pos) const {
    Q_UNUSED(pos);
    bool number = false;
    const int value = input.trimmed().toInt(&number);
    if (number && value >= minimum() && value <= maximum() &&
        input.trimmed() == QString::number(value))
        return QValidator::Acceptable;
    return QValidator::Intermediate; // settled by fixup when the field is left
}

void TestLengthSpinBox::fixup(QString& input) const {
    input = QString::number(TestLengthFromText(input.toStdString()));
}

int TestLengthSpinBox::valueFromText(const QString& text) const {
    return TestLengthFromText(text.toStdString());
}

int TestLengthSpinBox::settle() {
    const int length = TestLengthFromText(lineEdit()->text().toStdString());
    setValue(length);
    // setValue leaves the text alone when the value did not change.
    lineEdit()->setText(QString::number(length));
    return length;
}

} // namespace zentaro::app
