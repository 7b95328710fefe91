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

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    int valueFromText(const QString& text) const override;
};

} // namespace zentaro::app

using zentaro::app::TestLengthSpinBox;
