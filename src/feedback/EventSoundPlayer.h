#pragma once

#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "feedback/EventSounds.h"
#include "feedback/SoundChoice.h"
#include "platform/SoundFiles.h"
#include "platform/SoundOutput.h"
#include "settings/SettingsStore.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambleguard {

// Plays a short sound when the tracked device leaves or returns and when an automatic unlock
// fails. At most one sound is audible: starting one stops every earlier one.
//
// Where the files are: the program's own sound "N" is the resource "N-leave" or "N-return"
// (the unlock-failure sound is "UnlockFailed") in the resource folder "Sounds", as WAV files,
// which every Linux desktop plays without extra codecs. A system sound "N" is "N.oga" in the
// freedesktop sound theme's folder, used only when that file exists.
class EventSoundPlayer final : public EventSounds {
  public:
    // Receives the resolved file and volume instead of the sound being played.
    using PlayHandler = std::function<void(const std::string& path, float volume)>;

    static constexpr std::string_view kResourceSubdirectory = "Sounds";
    static constexpr std::string_view kBundledExtension = "wav";
    static constexpr std::string_view kSystemSoundFolder = "/usr/share/sounds/freedesktop/stereo";
    static constexpr std::string_view kSystemExtension = "oga";

    // Registers the defaults of the four sound settings in `store`, so every reader sees them.
    EventSoundPlayer(SettingsStore& store, const SoundFiles& files, SoundOutput& output,
                     MainQueue& mainQueue, LogSink& logSink);
    EventSoundPlayer(const EventSoundPlayer&) = delete;
    EventSoundPlayer& operator=(const EventSoundPlayer&) = delete;

    // Plays the user's sound for `event` when sounds are on. May be called on any thread; the
    // sound itself starts on the main queue.
    void play(SoundEvent event) override;

    // Plays `choice` for `event` whether or not sounds are on (the settings panel's preview).
    void playChoice(const SoundChoice& choice, SoundEvent event);

    void setPlayHandler(PlayHandler handler) { playHandler_ = std::move(handler); }

    // The files of an installation under `resourceRoot` with the freedesktop sound theme: the
    // program's own sounds and the system sounds the fallback list names.
    static std::vector<std::string> installedSoundFiles(std::string_view resourceRoot);

    // The program's own sounds, for the settings panel's menus.
    static const std::vector<std::string>& bundledSoundNames();
    // The system's alert sounds (sorted), listed once; a fixed list when the folder cannot be
    // listed or holds none.
    const std::vector<std::string>& systemSoundNames();

    // Sounds started and not yet finished or stopped.
    std::size_t activeSoundCount() const { return active_.size(); }

  private:
    std::optional<std::string> resolveFile(const SoundChoice& choice, SoundEvent event) const;
    void startSound(const std::string& path, const std::string& choiceText, SoundEvent event,
                    float volume);
    void soundFinished(const Sound* sound);

    SettingsStore& store_;
    const SoundFiles& files_;
    SoundOutput& output_;
    MainQueue& mainQueue_;
    Logger log_;
    PlayHandler playHandler_;
    std::vector<std::shared_ptr<Sound>> active_;  // main queue only
    std::once_flag systemNamesListed_;
    std::vector<std::string> systemNames_;
    LivenessToken liveness_;
};

}  // namespace ambleguard
