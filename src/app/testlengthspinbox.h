#pragma once

#include <QSpinBox>

namespace zentaro::app {

// The test length field: any text may be typed; when the field loses focus
// (or a run reads it) a number outside 1..99,999 is brought into range and
// text that is no number reads as 1. QSpinBox alone would refuse such input
// while typing, or drop it back to the last value.
class TestLengthSpinBox : public QSpinBox {
    Q_OBJECT

public:
    explicit TestLengthSpinBox(QWidget* parent = nullptr);

    // The length the field stands for now, brought into range and shown so.
    int settle();

    // Wide enough for its widest value in its font under the style in use,
    // never narrower than it was laid out. Done again when either changes.
    void WidenToFit();

signals:
    // Enter or Return pressed in the field, after it has settled its value.
    void returnPressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    int valueFromText(const QString& text) const override;
};

} // namespace zentaro::app

using zentaro::app::TestLengthSpinBox;
