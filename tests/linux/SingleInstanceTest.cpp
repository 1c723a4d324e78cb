#include "support/RunProgram.h"
#include "support/linux/TestBuses.h"

#include <QDBusConnectionInterface>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdlib>

namespace ambleguard::linuxdesktop {
namespace {

using test::TestBus;
using test::TestBuses;

// Two starts of the real program on one session bus: the second asks the first to show itself
// and ends; when the first has no window it says so and how to change that.
class SingleInstanceTest : public ::testing::TestWithParam<bool> {};

TEST_P(SingleInstanceTest, ASecondStartHandsOverToTheFirstAndEnds) {
    const bool firstHeadless = GetParam();
    TestBuses buses;
    ASSERT_TRUE(buses.ok());
    const char* binary = std::getenv("AMBLEGUARD_BINARY");
    ASSERT_NE(binary, nullptr);

    QProcess first;
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.setStandardOutputFile(QString::fromStdString((buses.directory() / "first.log").string()));
    auto environment = QProcessEnvironment::systemEnvironment();
    // A window without a display: Qt draws off screen.
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    first.setProcessEnvironment(environment);
    first.start(binary, firstHeadless ? QStringList{"--headless"} : QStringList{});
    ASSERT_TRUE(first.waitForStarted(10000));
    const auto log = [&] { return test::slurp(buses.directory() / "first.log"); };
    auto session = buses.connect(TestBus::session);
    ASSERT_TRUE(test::waitUntil(
        [&] { return session.interface()->isServiceRegistered("com.quillon.Ambleguard").value(); },
        std::chrono::seconds(20)))
        << log();

    const auto second = test::runAmbleguard({"--headless"}, buses.configHome());
    EXPECT_EQ(second.status, 0) << second.err;
    if (firstHeadless) {
        EXPECT_NE(second.err.find("already running without a window"), std::string::npos)
            << second.err;
        EXPECT_NE(second.err.find("systemctl --user stop ambleguard"), std::string::npos);
    } else {
        EXPECT_NE(second.err.find("already running; asked it to show itself"), std::string::npos)
            << second.err;
    }
    EXPECT_TRUE(test::waitUntil([&] {
        return log().find("asked this instance to show itself") != std::string::npos;
    })) << log();
    EXPECT_EQ(first.state(), QProcess::Running) << log();

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(10000)) << log();
    EXPECT_EQ(first.exitCode(), 0) << log();
}

INSTANTIATE_TEST_SUITE_P(FirstWithAndWithoutWindow, SingleInstanceTest, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "Headless" : "Windowed"; });

}  // namespace
}  // namespace ambleguard::linuxdesktop
