#pragma once

#include <functional>
#include <memory>
#include <string>

namespace ambleguard {

// One sound opened from a file. Everything is called on the main queue.
class Sound {
  public:
    virtual ~Sound() = default;
    // 0 (silent) to 1 (full).
    virtual void setVolume(float volume) = 0;
    // `finished` runs on the main queue when the sound has played to its end; it does not run
    // for a sound that was stopped.
    virtual void setFinishedHandler(std::function<void()> finished) = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
};

// Plays sound files.
class SoundOutput {
  public:
    virtual ~SoundOutput() = default;
    // Opens the file at `path` as a sound, reading it as it plays rather than all at once.
    // Returns null when the file cannot be loaded as a sound.
    virtual std::shared_ptr<Sound> open(const std::string& path) = 0;
};

}  // namespace ambleguard
