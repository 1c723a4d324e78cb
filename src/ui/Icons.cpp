#include "ui/Icons.h"

#include <QPainter>
#include <QPixmap>

#include <vector>

static void initIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace ambleguard::ui {

namespace {

struct GlyphNames {
    std::vector<const char*> theme;
    const char* bundled;
};

GlyphNames namesOf(Glyph glyph) {
    switch (glyph) {
        case Glyph::warning:
            return {{"dialog-warning-symbolic"}, "dialog-warning-symbolic"};
        case Glyph::ok:
            return {{"emblem-ok-symbolic", "object-select-symbolic"}, "emblem-ok-symbolic"};
        case Glyph::error:
            return {{"dialog-error-symbolic"}, "dialog-error-symbolic"};
        case Glyph::undetermined:
            return {{}, "ambleguard-undetermined-symbolic"};
        case Glyph::bluetooth:
            return {{"bluetooth-active-symbolic", "network-bluetooth"},
                    "bluetooth-active-symbolic"};
        case Glyph::refresh:
            return {{"view-refresh-symbolic"}, "view-refresh-symbolic"};
        case Glyph::undo:
            return {{"edit-undo-symbolic"}, "edit-undo-symbolic"};
        case Glyph::play:
            return {{"media-playback-start-symbolic"}, "media-playback-start-symbolic"};
        case Glyph::hand:
            return {{"preferences-desktop-accessibility-symbolic"}, "ambleguard-hand-symbolic"};
    }
    return {{}, "dialog-warning-symbolic"};
}

// The bundled symbols live in a static library, where nothing else would pull them in.
void ensureBundledIcons() {
    static const bool registered = [] {
        initIconResources();
        return true;
    }();
    (void)registered;
}

QIcon bundled(const char* name) {
    ensureBundledIcons();
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

// Checked name by name: a bare fromTheme(name, fallback) would also accept a theme's icon for
// the name with its dash suffixes cut off, which can be a different picture altogether.
QIcon fromThemeOrBundled(const std::vector<const char*>& names, const char* fallback) {
    for (const char* name : names) {
        const QString n = QLatin1String(name);
        if (QIcon::hasThemeIcon(n)) {
            return QIcon::fromTheme(n);
        }
    }
    return bundled(fallback);
}

QPixmap tinted(const QIcon& icon, int size, const QColor& colour) {
    QPixmap pixmap = icon.pixmap(size, size);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), colour);
    return pixmap;
}

}  // namespace

QIcon glyphIcon(Glyph glyph, const QColor& colour) {
    const GlyphNames names = namesOf(glyph);
    const QIcon source = fromThemeOrBundled(names.theme, names.bundled);
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        icon.addPixmap(tinted(source, size, colour));
    }
    return icon;
}

QString trayIconName(bool monitoring, int signalLevel) {
    if (monitoring && signalLevel >= 0 && signalLevel <= 4) {
        return QStringLiteral("ambleguard-signal-%1-symbolic").arg(signalLevel);
    }
    return monitoring ? QStringLiteral("ambleguard-symbolic")
                      : QStringLiteral("ambleguard-disabled-symbolic");
}

QIcon trayIcon(const QString& name) {
    ensureBundledIcons();
    if (QIcon::hasThemeIcon(name)) {
        return QIcon::fromTheme(name);
    }
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}

}  // namespace ambleguard::ui
