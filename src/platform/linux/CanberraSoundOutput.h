#pragma once

#include "base/Log.h"
#include "base/MainQueue.h"
#include "platform/SoundOutput.h"

#include <memory>
#include <string>

namespace ambleguard::linuxdesktop {

// Sounds through libcanberra, which streams OGG Vorbis and WAV files to the desktop's sound
// server. Each play is one canberra request: its finish callback (on canberra's own thread) is
// posted to the main queue, and a cancelled request (stop) never reports finishing. Volume is
// fixed per play, so it takes effect at the next play. Without an audio device a play fails at
// once and is logged; nothing hangs.
class CanberraSoundOutput final : public SoundOutput {
  public:
    // The main queue must outlive this object and every sound it opened.
    CanberraSoundOutput(MainQueue& mainQueue, LogSink& logSink);
    CanberraSoundOutput(const CanberraSoundOutput&) = delete;
    CanberraSoundOutput& operator=(const CanberraSoundOutput&) = delete;
    ~CanberraSoundOutput() override;

    // Null when the file is missing, unreadable or not of a kind canberra plays (.oga, .ogg,
    // .wav).
    std::shared_ptr<Sound> open(const std::string& path) override;

    // The canberra volume for a linear 0...1 volume: decibels, very low for silence.
    static std::string decibels(float volume);

    struct Context;

  private:
    MainQueue& mainQueue_;
    LogSink& logSink_;
    std::shared_ptr<Context> context_;
};

}  // namespace ambleguard::linuxdesktop
