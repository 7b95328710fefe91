#include "online/choicepanel.h"

#include <QMouseEvent>
#include <QPainter>

namespace zentaro::online {

ChoicePanel::ChoicePanel(QWidget* parent) : QFrame(parent) {
    setCursor(Qt::PointingHandCursor);
    setAutoFillBackground(true);
}

void ChoicePanel::setText(const QString& text) {
    text_ = text;
    update();
}

void ChoicePanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), Qt::AlignCenter | Qt::TextSingleLine, text_);
}

void ChoicePanel::mousePressEvent(QMouseEvent* event) {
    // Also the presses on the picture, which passes them on.
    event->accept();
    emit pressed(event->button());
}

} // namespace zentaro::online
