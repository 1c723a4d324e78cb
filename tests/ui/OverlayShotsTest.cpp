#include "OverlayShots.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace ambleguard::ui {
namespace {

// Every overlay renders in both palettes. Set AMBLEGUARD_SHOTS_DIR to keep the pictures for
// review instead of throwing them away.
TEST(OverlayShots, EveryOverlayRendersInLightAndDark) {
    QTemporaryDir temporary;
    const QByteArray kept = qgetenv("AMBLEGUARD_SHOTS_DIR");
    const QString root = kept.isEmpty() ? temporary.path() : QString::fromLocal8Bit(kept);
    for (const bool dark : {false, true}) {
        const QString dir = root + (dark ? "/dark" : "/light");
        renderOverlayShots(dir, dark);
        const QStringList files = QDir(dir).entryList({"*.png"}, QDir::Files);
        EXPECT_GE(files.size(), 12) << dir.toStdString();
        for (const QString& file : files) {
            const QImage image(dir + "/" + file);
            EXPECT_FALSE(image.isNull()) << file.toStdString();
            EXPECT_GE(image.width(), 300) << file.toStdString();
        }
    }
}

}  // namespace
}  // namespace ambleguard::ui
