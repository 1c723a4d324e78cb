#pragma once

#include "base/MainQueue.h"
#include "base/Signal.h"
#include "platform/SoundOutput.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ambleguard::sim {

// Records what would be heard instead of playing it. Sounds play until finishPlaying() is
// called, or for a fixed duration when one is set; the finished handler then runs on the main
// queue, as a real player reports it.
class SimSoundOutput final : public SoundOutput {
  public:
    enum class State { playing, stopped, finished };
    struct Playback {
        std::string path;
        float volume;
        State state;
    };

    explicit SimSoundOutput(MainQueue& mainQueue) : mainQueue_(mainQueue) {}
    ~SimSoundOutput() override;

    std::shared_ptr<Sound> open(const std::string& path) override;

    // Makes opening this file fail, as for a damaged or unsupported file.
    void setUnloadable(const std::string& path) { unloadable_.insert(path); }
    // Every sound then finishes by itself this many seconds after it started.
    void setPlaybackDuration(std::optional<double> seconds) { duration_ = seconds; }

    // Lets every sound still playing reach its end.
    void finishPlaying();

    // Every sound started, in order.
    std::vector<Playback> playbacks() const;
    std::size_t playingCount() const;
    // Raised as each sound starts playing.
    [[nodiscard]] Connection onPlay(std::function<void(const Playback&)> observer) {
        return played_.connect(std::move(observer));
    }

  private:
    class SimSound;

    MainQueue& mainQueue_;
    std::set<std::string> unloadable_;
    std::optional<double> duration_;
    std::vector<std::shared_ptr<SimSound>> started_;  // kept for the record
    Signal<const Playback&> played_;
};

}  // namespace ambleguard::sim
