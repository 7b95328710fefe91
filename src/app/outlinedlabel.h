#pragma once

#include <QLabel>

namespace zentaro::app {

// A one-line label whose text has a halo in the colour opposite to its own
// (white round dark text, black round light text), so that it reads on any
// colour beneath it: the rating word over every colour of the bar, under light
// and dark palettes.
class OutlinedLabel : public QLabel {
    Q_OBJECT

public:
    explicit OutlinedLabel(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // The colours it draws with under its palette.
    QColor ink() const;
    QColor halo() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int haloWidth() const;
};

} // namespace zentaro::app

using zentaro::app::OutlinedLabel;
