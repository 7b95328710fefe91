#pragma once

// A dark palette as desktop themes set one, for looking at the windows under
// it; the light one is the style's own.
#include <QApplication>
#include <QPalette>

namespace zentaro::testing {

inline QPalette DarkPalette() {
    QPalette p;
    const QColor window(0x2b, 0x2b, 0x2b), text(0xe6, 0xe6, 0xe6), dim(0x80, 0x80, 0x80);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::Disabled, QPalette::WindowText, dim);
    p.setColor(QPalette::Disabled, QPalette::Text, dim);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, dim);
    // Link left as Qt's default blue, as many dark themes leave it.
    return p;
}

// Puts a palette on the application for as long as it lives.
class PaletteScope {
public:
    explicit PaletteScope(const QPalette& palette) : before_(QApplication::palette()) {
        QApplication::setPalette(palette);
    }
    ~PaletteScope() { QApplication::setPalette(before_); }
    PaletteScope(const PaletteScope&) = delete;
    PaletteScope& operator=(const PaletteScope&) = delete;

private:
    QPalette before_;
};

} // namespace zentaro::testing
