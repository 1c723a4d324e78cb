#include "ui/Colours.h"
#include "ui/Icons.h"

#include <QImage>
#include <QPalette>

#include <gtest/gtest.h>

namespace ambleguard::ui {
namespace {

// Every symbol the views use must load even where the desktop theme has none of its names:
// the bundled copies are the fallback, and a missing one would show as an empty square.
TEST(Icons, EveryGlyphAndTrayIconDrawsSomethingInTheRequestedColour) {
    const QColor colour(0x12, 0x34, 0x56);
    for (const Glyph glyph :
         {Glyph::warning, Glyph::ok, Glyph::error, Glyph::undetermined, Glyph::bluetooth,
          Glyph::refresh, Glyph::undo, Glyph::play, Glyph::hand}) {
        const QImage image = glyphIcon(glyph, colour).pixmap(32, 32).toImage();
        bool painted = false;
        for (int y = 0; y < image.height() && !painted; ++y) {
            for (int x = 0; x < image.width() && !painted; ++x) {
                const QColor pixel = image.pixelColor(x, y);
                painted = pixel.alpha() > 200 && pixel.rgb() == colour.rgb();
            }
        }
        EXPECT_TRUE(painted) << "glyph " << static_cast<int>(glyph);
    }
    for (const QString& name :
         {trayIconName(true), trayIconName(false), trayIconName(true, 0), trayIconName(true, 4)}) {
        EXPECT_FALSE(trayIcon(name).pixmap(22, 22).isNull()) << name.toStdString();
    }
}

TEST(Icons, TheSignalGlyphReplacesTheIconOnlyWhileMonitoring) {
    EXPECT_EQ(trayIconName(true, 2), "ambleguard-signal-2-symbolic");
    EXPECT_EQ(trayIconName(false, 2), "ambleguard-disabled-symbolic");
    EXPECT_EQ(trayIconName(true), "ambleguard-symbolic");
}

TEST(Colours, DarkPalettesGetTheLightShades) {
    QPalette light;
    light.setColor(QPalette::Window, Qt::white);
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x24, 0x24, 0x24));
    EXPECT_FALSE(isDark(light));
    EXPECT_TRUE(isDark(dark));
    EXPECT_LT(statusColour(StatusColour::red, light).lightness(),
              statusColour(StatusColour::red, dark).lightness());
}

}  // namespace
}  // namespace ambleguard::ui
