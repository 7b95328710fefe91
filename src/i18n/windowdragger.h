#pragma once

#include <QObject>
#include <QPoint>
#include <initializer_list>

class QWidget;

namespace zentaro::i18n {

// Lets the user move a window by its body as by a title bar. A press of any
// button but the right one (left free for menus) on a grip starts a drag; each
// move then carries the window as far as the pointer went, and the release
// ends it. The second press of a double click counts as a press. Lives in the
// lowest window library so that every window can use it.
class WindowDragger final : public QObject {
public:
    // window: the top-level widget to move; it owns the dragger.
    explicit WindowDragger(QWidget* window);

    // Watches the grips' mouse events and keeps those of a drag from them. An
    // event filter installed on a grip later sees its events first.
    void addGrips(std::initializer_list<QWidget*> grips);

    bool dragging() const { return dragging_; }
    // Ends a drag whose release will not come, as when the window closes.
    void stop() { dragging_ = false; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    bool dragging_ = false;
    QPoint from_; // pointer's screen position at the last step
};

} // namespace zentaro::i18n
