#include "ui/Colours.h"

#include <QFontDatabase>

#include <algorithm>

namespace ambleguard::ui {

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor statusColour(StatusColour colour, const QPalette& palette) {
    const bool dark = isDark(palette);
    switch (colour) {
        case StatusColour::green:
            return dark ? QColor(0x8f, 0xf0, 0xa4) : QColor(0x15, 0x70, 0x3f);
        case StatusColour::red:
            return dark ? QColor(0xff, 0x7b, 0x63) : QColor(0xa5, 0x1d, 0x2d);
        case StatusColour::orange:
            return dark ? QColor(0xff, 0xa3, 0x48) : QColor(0x9a, 0x3d, 0x00);
        case StatusColour::yellow:
            return dark ? QColor(0xf8, 0xe4, 0x5c) : QColor(0x8a, 0x61, 0x00);
        case StatusColour::blue:
            return dark ? QColor(0x78, 0xae, 0xed) : QColor(0x1a, 0x5f, 0xb4);
    }
    return palette.color(QPalette::WindowText);
}

QColor secondaryText(const QPalette& palette) {
    const QColor text = palette.color(QPalette::WindowText);
    const QColor window = palette.color(QPalette::Window);
    const auto mix = [](int a, int b) { return (a * 7 + b * 3) / 10; };
    return {mix(text.red(), window.red()), mix(text.green(), window.green()),
            mix(text.blue(), window.blue())};
}

QFont scaledFont(const QFont& base, double points) {
    QFont font = base;
    const double body = base.pointSizeF() > 0 ? base.pointSizeF() : 10.0;
    const double smallest =
        QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont).pointSizeF();
    double size = std::max(body * points / 13.0, smallest > 0 ? smallest : 7.0);
    // Some themes report a smallest readable size above their body size: small text then stays
    // at the body size rather than growing past it.
    if (points < 13.0) {
        size = std::min(size, body);
    }
    font.setPointSizeF(size);
    return font;
}

}  // namespace ambleguard::ui
