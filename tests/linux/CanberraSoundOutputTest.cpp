#include "platform/linux/CanberraSoundOutput.h"

#include "platform/linux/QtMainQueue.h"
#include "platform/sim/RecordingLogSink.h"
#include "support/TempDir.h"
#include "support/linux/TestBuses.h"

#include <gtest/gtest.h>

#include <fstream>

namespace ambleguard::linuxdesktop {
namespace {

const std::string kThemeSound = "/usr/share/sounds/freedesktop/stereo/bell.oga";

TEST(CanberraSoundOutputTest, OpensOnlyReadableFilesOfAPlayableKind) {
    QtMainQueue mainQueue;
    sim::RecordingLogSink log;
    CanberraSoundOutput output(mainQueue, log);
    test::TempDir dir;
    std::ofstream(dir.path() / "notes.txt") << "not a sound";
    std::ofstream(dir.path() / "Drift-leave.WAV") << "RIFF";

    EXPECT_EQ(output.open((dir.path() / "missing.oga").string()), nullptr);
    EXPECT_EQ(output.open((dir.path() / "notes.txt").string()), nullptr);
    EXPECT_EQ(output.open(dir.path().string()), nullptr);
    EXPECT_NE(output.open((dir.path() / "Drift-leave.WAV").string()), nullptr);
}

// This machine may have no audio device: playing must then fail at once, say so, and never
// report the sound as finished; stopping and dropping it stay harmless.
TEST(CanberraSoundOutputTest, PlayingWithoutAudioNeverHangsOrFinishes) {
    if (::access(kThemeSound.c_str(), R_OK) != 0) {
        GTEST_SKIP() << "sound-theme-freedesktop is not installed";
    }
    QtMainQueue mainQueue;
    sim::RecordingLogSink log;
    CanberraSoundOutput output(mainQueue, log);
    auto sound = output.open(kThemeSound);
    ASSERT_NE(sound, nullptr);
    int finished = 0;
    sound->setFinishedHandler([&] { ++finished; });
    sound->setVolume(0.4F);
    sound->play();
    sound->stop();
    test::processEventsFor(std::chrono::milliseconds(100));
    EXPECT_EQ(finished, 0);  // either it failed (no device) or it was stopped
    sound.reset();
}

TEST(CanberraSoundOutputTest, VolumeBecomesDecibels) {
    EXPECT_EQ(CanberraSoundOutput::decibels(1.0F), "0.00");
    EXPECT_EQ(CanberraSoundOutput::decibels(0.5F), "-6.02");
    EXPECT_EQ(CanberraSoundOutput::decibels(0.0F), "-100.00");
    EXPECT_EQ(CanberraSoundOutput::decibels(-0.2F), "-100.00");
}

}  // namespace
}  // namespace ambleguard::linuxdesktop
