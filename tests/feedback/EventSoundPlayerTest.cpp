#include "feedback/EventSoundPlayer.h"
#include "platform/posix/DirectorySoundFiles.h"
#include "platform/sim/MemorySettings.h"
#include "platform/sim/RecordingLogSink.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimMainLoop.h"
#include "platform/sim/SimSoundFiles.h"
#include "platform/sim/SimSoundOutput.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ambleguard {
namespace {

const std::string kSounds = std::string(sim::SimSoundFiles::kResourceRoot) + "/Sounds/";
const std::string kSystem = std::string(EventSoundPlayer::kSystemSoundFolder);

class EventSoundPlayerTest : public ::testing::Test {
  protected:
    void enableSounds() { store.setBool(keys::soundsEnabled, true); }

    // Plays `event` and returns the path that started playing (empty when none did).
    std::string heardFor(SoundEvent event) {
        const auto before = output.playbacks().size();
        player->play(event);
        loop.runDue();
        const auto after = output.playbacks();
        return after.size() > before ? after.back().path : std::string();
    }

    sim::SimClock clock;
    sim::SimMainLoop loop{clock};
    sim::MemorySettings persistence;
    sim::RecordingLogSink log;
    SettingsStore store{persistence, log};
    sim::SimSoundFiles files{
        EventSoundPlayer::installedSoundFiles(sim::SimSoundFiles::kResourceRoot)};
    sim::SimSoundOutput output{loop};
    std::unique_ptr<EventSoundPlayer> player =
        std::make_unique<EventSoundPlayer>(store, files, output, loop, log);
};

TEST_F(EventSoundPlayerTest, DefaultsAreRegisteredButNotStoredAndSoundsStartOff) {
    EXPECT_FALSE(store.boolForKey(keys::soundsEnabled));
    EXPECT_EQ(store.stringForKey(keys::soundOnLeave), "bundled:Drift");
    EXPECT_EQ(store.stringForKey(keys::soundOnReturn), "bundled:Drift");
    EXPECT_EQ(store.doubleForKey(keys::soundVolume), 0.4);
    EXPECT_TRUE(store.storedValues().empty());

    EXPECT_EQ(heardFor(SoundEvent::deviceLeft), "");
    EXPECT_TRUE(log.contains("Sound for deviceLeft skipped: sounds disabled"));
    EXPECT_EQ(heardFor(SoundEvent::unlockFailed), "");
    EXPECT_TRUE(log.contains("Sound for unlockFailed skipped: sounds disabled"));
}

TEST_F(EventSoundPlayerTest, EachEventPlaysItsChosenFile) {
    enableSounds();
    EXPECT_EQ(heardFor(SoundEvent::deviceLeft), kSounds + "Drift-leave.wav");
    EXPECT_EQ(heardFor(SoundEvent::deviceReturned), kSounds + "Drift-return.wav");

    store.setString(keys::soundOnLeave, "system:bell");
    store.setString(keys::soundOnReturn, "bundled:Pulse");
    EXPECT_EQ(heardFor(SoundEvent::deviceLeft), kSystem + "/bell.oga");
    EXPECT_EQ(heardFor(SoundEvent::deviceReturned), kSounds + "Pulse-return.wav");
    EXPECT_TRUE(log.contains("Playing bundled:Pulse for deviceReturned at 0.40"));
    EXPECT_EQ(output.playbacks().back().volume, 0.4f);
}

TEST_F(EventSoundPlayerTest, InvalidStoredChoicesFallBackToDrift) {
    enableSounds();
    for (const char* stored : {"system:", "Bundled:Pulse", "chime", ""}) {
        store.setString(keys::soundOnLeave, stored);
        EXPECT_EQ(heardFor(SoundEvent::deviceLeft), kSounds + "Drift-leave.wav") << stored;
    }
    store.setBool(keys::soundOnReturn, true);  // not even a text
    EXPECT_EQ(heardFor(SoundEvent::deviceReturned), kSounds + "Drift-return.wav");
}

TEST_F(EventSoundPlayerTest, MissingFilesAreLoggedAndNothingElsePlays) {
    enableSounds();
    store.setString(keys::soundOnLeave, "system:Glass");
    EXPECT_EQ(heardFor(SoundEvent::deviceLeft), "");
    EXPECT_TRUE(log.contains("Sound system:Glass for deviceLeft not found"));

    files.removeFile(kSounds + "Pulse-return.wav");
    store.setString(keys::soundOnReturn, "bundled:Pulse");
    EXPECT_EQ(heardFor(SoundEvent::deviceReturned), "");
    EXPECT_TRUE(log.contains("Sound bundled:Pulse for deviceReturned not found"));

    // A stored name can only pick a file inside its own folder.
    files.addFile(kSystem + "/../../../../home/user/secret.oga");
    store.setString(keys::soundOnLeave, "system:../../../../home/user/secret");
    EXPECT_EQ(heardFor(SoundEvent::deviceLeft), "");
    EXPECT_TRUE(output.playbacks().empty());
}

TEST_F(EventSoundPlayerTest, NoneIsSilentAndQuiet) {
    enableSounds();
    store.setString(keys::soundOnReturn, "none");
    log.clear();
    EXPECT_EQ(heardFor(SoundEvent::deviceReturned), "");
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(EventSoundPlayerTest, UnlockFailedIgnoresTheChoicesButNotTheSwitch) {
    enableSounds();
    store.setString(keys::soundOnLeave, "none");
    store.setString(keys::soundOnReturn, "system:bell");
    EXPECT_EQ(heardFor(SoundEvent::unlockFailed), kSounds + "UnlockFailed.wav");
    EXPECT_TRUE(log.contains("Playing bundled:UnlockFailed for unlockFailed at 0.40"));
}

TEST_F(EventSoundPlayerTest, VolumeIsLimitedToTheUnitRange) {
    enableSounds();
    std::vector<float> volumes;
    player->setPlayHandler([&](const std::string&, float volume) { volumes.push_back(volume); });
    for (double stored : {1.7, -0.2, 0.0, 1.0, 0.55, 1.2}) {
        store.setDouble(keys::soundVolume, stored);
        player->play(SoundEvent::deviceLeft);
    }
    EXPECT_EQ(volumes, (std::vector<float>{1.0f, 0.0f, 0.0f, 1.0f, 0.55f, 1.0f}));
}

TEST_F(EventSoundPlayerTest, PlayHandlerReceivesTheSoundAtOnceInsteadOfThePlayer) {
    std::vector<std::pair<std::string, float>> handled;
    player->setPlayHandler(
        [&](const std::string& path, float volume) { handled.emplace_back(path, volume); });
    // A preview plays even while sounds are off.
    player->playChoice(SoundChoice::bundled("Pulse"), SoundEvent::deviceLeft);
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].first, kSounds + "Pulse-leave.wav");
    loop.runDue();
    EXPECT_TRUE(output.playbacks().empty());
}

TEST_F(EventSoundPlayerTest, StartingASoundStopsTheOneBefore) {
    enableSounds();
    player->play(SoundEvent::deviceLeft);
    player->play(SoundEvent::deviceReturned);
    EXPECT_TRUE(output.playbacks().empty()) << "sounds start on the main queue";
    loop.runDue();

    const auto playbacks = output.playbacks();
    ASSERT_EQ(playbacks.size(), 2u);
    EXPECT_EQ(playbacks[0].state, sim::SimSoundOutput::State::stopped);
    EXPECT_EQ(playbacks[1].state, sim::SimSoundOutput::State::playing);
    EXPECT_EQ(player->activeSoundCount(), 1u);

    output.finishPlaying();
    EXPECT_EQ(player->activeSoundCount(), 1u) << "the finish is reported on the main queue";
    loop.runDue();
    EXPECT_EQ(player->activeSoundCount(), 0u);
}

TEST_F(EventSoundPlayerTest, UnloadableFileIsLoggedAndLeavesNothingActive) {
    enableSounds();
    output.setUnloadable(kSounds + "Drift-leave.wav");
    EXPECT_EQ(heardFor(SoundEvent::deviceLeft), "");
    EXPECT_TRUE(log.contains("NSSound could not load " + kSounds + "Drift-leave.wav"));
    EXPECT_EQ(player->activeSoundCount(), 0u);
}

TEST_F(EventSoundPlayerTest, SoundsQueuedOrFinishingAfterThePlayerIsGoneAreIgnored) {
    enableSounds();
    output.setPlaybackDuration(0.5);
    player->play(SoundEvent::deviceLeft);
    loop.runDue();
    player->play(SoundEvent::deviceReturned);
    player.reset();
    loop.advanceBy(1.0);
    EXPECT_EQ(output.playbacks().size(), 1u);
}

TEST_F(EventSoundPlayerTest, SystemSoundNamesComeFromTheFolderOnce) {
    files.addFile(kSystem + "/README");
    files.addFile(kSystem + "/.oga");
    files.addFile(kSystem + "/alarm.clock.oga");
    EXPECT_EQ(player->systemSoundNames(),
              (std::vector<std::string>{"alarm.clock", "bell", "complete", "dialog-warning",
                                        "message", "suspend-error"}));
    files.addFile(kSystem + "/zzz.oga");
    EXPECT_EQ(player->systemSoundNames().size(), 6u);
}

TEST_F(EventSoundPlayerTest, SystemSoundNamesFallBackToTheFixedList) {
    const std::vector<std::string> fixed = {"Basso", "Blow",   "Bottle",    "Frog", "Funk",
                                            "Glass", "Hero",   "Morse",     "Ping", "Pop",
                                            "Purr",  "Sosumi", "Submarine", "Tink"};
    files.setUnlistable(kSystem);
    EXPECT_EQ(player->systemSoundNames(), fixed);

    sim::SimSoundFiles emptyTheme{
        EventSoundPlayer::installedSoundFiles(sim::SimSoundFiles::kResourceRoot)};
    emptyTheme.clearFolder(kSystem);
    emptyTheme.addFile(kSystem + "/bell.ogg");
    EventSoundPlayer other(store, emptyTheme, output, loop, log);
    EXPECT_EQ(other.systemSoundNames(), fixed);
    EXPECT_EQ(EventSoundPlayer::bundledSoundNames(), (std::vector<std::string>{"Drift", "Pulse"}));
}

// The sound files shipped with the program, found the way the real program finds them.
TEST_F(EventSoundPlayerTest, ShippedSoundsExistForEveryChoiceAndAreShortWavFiles) {
    posix::DirectorySoundFiles shipped(AMBLEGUARD_RESOURCE_DIR);
    EventSoundPlayer real(store, shipped, output, loop, log);
    std::vector<std::string> paths;
    real.setPlayHandler([&](const std::string& path, float) { paths.push_back(path); });
    for (const auto& name : EventSoundPlayer::bundledSoundNames()) {
        real.playChoice(SoundChoice::bundled(name), SoundEvent::deviceLeft);
        real.playChoice(SoundChoice::bundled(name), SoundEvent::deviceReturned);
    }
    enableSounds();
    real.play(SoundEvent::unlockFailed);
    ASSERT_EQ(paths.size(), 5u) << testing::PrintToString(log.texts());

    for (const auto& path : paths) {
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        ASSERT_GT(bytes.size(), 44u) << path;
        EXPECT_EQ(bytes.substr(0, 4), "RIFF") << path;
        EXPECT_EQ(bytes.substr(8, 4), "WAVE") << path;
        EXPECT_LT(bytes.size(), 64u * 1024) << path;
    }
}

}  // namespace
}  // namespace ambleguard
