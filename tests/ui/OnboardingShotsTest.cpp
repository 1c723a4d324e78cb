#include "OnboardingShots.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ambleguard::ui {
namespace {

// The screenshots are for people to look at; this keeps the code that makes them working, and
// makes sure each one shows a whole window.
// With ONBOARDING_SHOTS_DIR set, the pictures are kept there for review.
TEST(OnboardingShots, EveryScreenRendersInBothPalettes) {
    QTemporaryDir temporary;
    ASSERT_TRUE(temporary.isValid());
    const QString kept = qEnvironmentVariable("ONBOARDING_SHOTS_DIR");
    const QDir dir(kept.isEmpty() ? temporary.path() : kept);
    for (const bool dark : {false, true}) {
        const QString folder =
            dir.filePath(dark ? QStringLiteral("dark") : QStringLiteral("light"));
        renderOnboardingShots(folder, dark);
        const QStringList shots =
            QDir(folder).entryList({QStringLiteral("onboarding-*.png")}, QDir::Files);
        EXPECT_EQ(shots.size(), 14);
        for (const QString& name : shots) {
            const QImage image(QDir(folder).filePath(name));
            EXPECT_EQ(image.size(), QSize(700, 600)) << name.toStdString();
        }
    }
}

}  // namespace
}  // namespace ambleguard::ui
