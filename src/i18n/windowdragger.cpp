#include "i18n/windowdragger.h"

#include <QMouseEvent>
#include <QWidget>

namespace zentaro::i18n {

WindowDragger::WindowDragger(QWidget* window) : QObject(window), window_(window) {}

void WindowDragger::addGrips(std::initializer_list<QWidget*> grips) {
    for (QWidget* grip : grips)
        grip->installEventFilter(this);
}

bool WindowDragger::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton)
            return false;
        dragging_ = true;
        from_ = mouse->globalPosition().toPoint();
        return true;
    }
    case QEvent::MouseMove: {
        if (!dragging_)
            return false;
        const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        window_->move(window_->pos() + at - from_);
        from_ = at;
        return true;
    }
    case QEvent::MouseButtonRelease:
        dragging_ = false;
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace zentaro::i18n
