#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// Widgets need an application object for the whole run; the tests draw off screen, so they run
// without a display.
int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
