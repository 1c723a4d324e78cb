#include "platform/sim/SimSoundOutput.h"

#include <algorithm>

namespace ambleguard::sim {

class SimSoundOutput::SimSound final : public Sound, public std::enable_shared_from_this<SimSound> {
  public:
    SimSound(SimSoundOutput& output, std::string path) : output_(output), path_(std::move(path)) {}

    void setVolume(float volume) override { volume_ = volume; }
    void setFinishedHandler(std::function<void()> finished) override {
        finished_ = std::move(finished);
    }
    void play() override {
        state_ = State::playing;
        output_.started_.push_back(shared_from_this());
        output_.played_.emit(playback());
        if (output_.duration_) {
            autoFinish_ =
                output_.mainQueue_.postAfter(*output_.duration_, [weak = weak_from_this()] {
                    if (auto self = weak.lock()) {
                        self->finish();
                    }
                });
        }
    }
    void stop() override {
        if (state_ == State::playing) {
            state_ = State::stopped;
            autoFinish_.cancel();
        }
    }

    void finish() {
        if (state_ != State::playing) {
            return;
        }
        state_ = State::finished;
        autoFinish_.cancel();
        output_.mainQueue_.post([self = shared_from_this()] {
            if (auto handler = self->finished_) {
                handler();
            }
        });
    }

    Playback playback() const { return Playback{path_, volume_, state_}; }
    bool isPlaying() const { return state_ == State::playing; }

  private:
    SimSoundOutput& output_;
    std::string path_;
    float volume_ = 1.0f;
    State state_ = State::stopped;
    std::function<void()> finished_;
    ScopedTimer autoFinish_;
};

SimSoundOutput::~SimSoundOutput() = default;

std::shared_ptr<Sound> SimSoundOutput::open(const std::string& path) {
    if (unloadable_.contains(path)) {
        return nullptr;
    }
    return std::make_shared<SimSound>(*this, path);
}

void SimSoundOutput::finishPlaying() {
    for (const auto& sound : started_) {
        sound->finish();
    }
}

std::vector<SimSoundOutput::Playback> SimSoundOutput::playbacks() const {
    std::vector<Playback> out;
    out.reserve(started_.size());
    for (const auto& sound : started_) {
        out.push_back(sound->playback());
    }
    return out;
}

std::size_t SimSoundOutput::playingCount() const {
    return static_cast<std::size_t>(std::count_if(
        started_.begin(), started_.end(), [](const auto& sound) { return sound->isPlaying(); }));
}

}  // namespace ambleguard::sim
