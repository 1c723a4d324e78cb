#include "feedback/EventSoundPlayer.h"

#include "settings/SettingsKeys.h"

#include <algorithm>

namespace ambleguard {

namespace {

const SoundChoice& defaultChoice() {
    static const SoundChoice choice = SoundChoice::bundled("Drift");
    return choice;
}

// A name is only ever a file's base name; anything that could reach into another folder is
// treated as a sound that does not exist.
bool isPlainName(std::string_view name) {
    return !name.empty() && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos && name != "." && name != "..";
}

std::string_view resourceSuffix(SoundEvent event) {
    switch (event) {
        case SoundEvent::deviceLeft:
            return "-leave";
        case SoundEvent::deviceReturned:
            return "-return";
        case SoundEvent::unlockFailed:
            break;
    }
    return "";
}

float clampedVolume(double stored) {
    if (!(stored > 0)) {
        return 0.0f;  // also catches a value that is not a number
    }
    return stored > 1 ? 1.0f : static_cast<float>(stored);
}

}  // namespace

EventSoundPlayer::EventSoundPlayer(SettingsStore& store, const SoundFiles& files,
                                   SoundOutput& output, MainQueue& mainQueue, LogSink& logSink)
    : store_(store),
      files_(files),
      output_(output),
      mainQueue_(mainQueue),
      log_(logSink, "Sounds") {
    store_.registerDefaults({
        {std::string(keys::soundsEnabled), false},
        {std::string(keys::soundOnLeave), std::string("bundled:Drift")},
        {std::string(keys::soundOnReturn), std::string("bundled:Drift")},
        {std::string(keys::soundVolume), 0.4},
    });
}

void EventSoundPlayer::play(SoundEvent event) {
    if (!store_.boolForKey(keys::soundsEnabled)) {
        log_.debug("Sound for {} skipped: sounds disabled", toString(event));
        return;
    }
    std::optional<SoundChoice> choice;
    switch (event) {
        case SoundEvent::deviceLeft:
            choice = SoundChoice::parse(store_.stringForKey(keys::soundOnLeave).value_or(""));
            break;
        case SoundEvent::deviceReturned:
            choice = SoundChoice::parse(store_.stringForKey(keys::soundOnReturn).value_or(""));
            break;
        case SoundEvent::unlockFailed:
            // A failed unlock always sounds the same, whatever the user picked for the others.
            choice = SoundChoice::bundled("UnlockFailed");
            break;
    }
    playChoice(choice.value_or(defaultChoice()), event);
}

void EventSoundPlayer::playChoice(const SoundChoice& choice, SoundEvent event) {
    if (choice.kind() == SoundChoice::Kind::none) {
        return;
    }
    const auto path = resolveFile(choice, event);
    if (!path) {
        log_.error("Sound {} for {} not found", choice.storageForm(), toString(event));
        return;
    }
    const float volume = clampedVolume(store_.doubleForKey(keys::soundVolume));
    if (playHandler_) {
        playHandler_(*path, volume);
        return;
    }
    mainQueue_.post(liveness_.guarded([this, path = *path, choiceText = choice.storageForm(), event,
                                       volume] { startSound(path, choiceText, event, volume); }));
}

std::optional<std::string> EventSoundPlayer::resolveFile(const SoundChoice& choice,
                                                         SoundEvent event) const {
    if (!isPlainName(choice.name())) {
        return std::nullopt;
    }
    if (choice.kind() == SoundChoice::Kind::bundled) {
        const std::string resource = choice.name() + std::string(resourceSuffix(event));
        return files_.resourcePath(resource, kBundledExtension, kResourceSubdirectory);
    }
    std::string path =
        std::string(kSystemSoundFolder) + "/" + choice.name() + "." + std::string(kSystemExtension);
    if (!files_.fileExists(path)) {
        return std::nullopt;
    }
    return path;
}

void EventSoundPlayer::startSound(const std::string& path, const std::string& choiceText,
                                  SoundEvent event, float volume) {
    for (const auto& sound : active_) {
        sound->stop();
    }
    active_.clear();

    auto sound = output_.open(path);
    if (!sound) {
        log_.error("NSSound could not load {}", path);
        return;
    }
    sound->setVolume(volume);
    sound->setFinishedHandler(liveness_.guarded([this, key = sound.get()] { soundFinished(key); }));
    active_.push_back(sound);
    log_.info("Playing {} for {} at {:.2f}", choiceText, toString(event), volume);
    sound->play();
}

void EventSoundPlayer::soundFinished(const Sound* sound) {
    const auto it = std::find_if(active_.begin(), active_.end(),
                                 [sound](const auto& entry) { return entry.get() == sound; });
    if (it != active_.end()) {
        active_.erase(it);
    }
}

std::vector<std::string> EventSoundPlayer::installedSoundFiles(std::string_view resourceRoot) {
    std::vector<std::string> files;
    for (const char* resource :
         {"Drift-leave", "Drift-return", "Pulse-leave", "Pulse-return", "UnlockFailed"}) {
        files.push_back(fmt::format("{}/{}/{}.{}", resourceRoot, kResourceSubdirectory, resource,
                                    kBundledExtension));
    }
    for (const char* name : {"bell", "complete", "dialog-warning", "message", "suspend-error"}) {
        files.push_back(fmt::format("{}/{}.{}", kSystemSoundFolder, name, kSystemExtension));
    }
    return files;
}

const std::vector<std::string>& EventSoundPlayer::bundledSoundNames() {
    static const std::vector<std::string> names = {"Drift", "Pulse"};
    return names;
}

const std::vector<std::string>& EventSoundPlayer::systemSoundNames() {
    std::call_once(systemNamesListed_, [this] {
        const std::string suffix = "." + std::string(kSystemExtension);
        if (auto entries = files_.folderEntries(std::string(kSystemSoundFolder))) {
            for (const auto& entry : *entries) {
                if (entry.size() > suffix.size() && entry.ends_with(suffix)) {
                    systemNames_.push_back(entry.substr(0, entry.size() - suffix.size()));
                }
            }
        }
        std::sort(systemNames_.begin(), systemNames_.end());
        if (systemNames_.empty()) {
            systemNames_ = {"Basso", "Blow", "Bottle", "Frog", "Funk",   "Glass",     "Hero",
                            "Morse", "Ping", "Pop",    "Purr", "Sosumi", "Submarine", "Tink"};
        }
    });
    return systemNames_;
}

}  // namespace ambleguard
