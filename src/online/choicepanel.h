#pragma once

#include <QFrame>
#include <QString>

namespace zentaro::online {

// A panel with a caption drawn in its middle and a picture at its left, that
// reports mouse presses on itself or the picture. Its look (background, caption
// colour, raised or lowered edge) is its owner's to set.
class ChoicePanel : public QFrame {
    Q_OBJECT

public:
    explicit ChoicePanel(QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);

signals:
    void pressed(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString text_;
};

} // namespace zentaro::online
