#include <QCoreApplication>

#include <gtest/gtest.h>

// QtDBus and Qt's timers need an application object for the whole run.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
