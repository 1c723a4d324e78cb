#include "platform/linux/CanberraSoundOutput.h"

#include <canberra.h>
#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace ambleguard::linuxdesktop {

struct CanberraSoundOutput::Context {
    ca_context* context = nullptr;
    std::atomic<std::uint32_t> nextId{1};
    ~Context() {
        if (context != nullptr) {
            ca_context_destroy(context);
        }
    }
};

namespace {

// What a sound shares with its in-flight plays: the handler and which play is current.
struct SoundState {
    std::function<void()> finished;
    std::uint32_t currentPlay = 0;
};

// One play request, owned by canberra from a successful ca_context_play_full until its callback.
struct PlayTicket {
    std::weak_ptr<SoundState> sound;
    MainQueue* mainQueue;
    std::uint32_t playId;
};

extern "C" void playFinished(ca_context*, std::uint32_t, int error, void* userdata) {
    std::unique_ptr<PlayTicket> ticket(static_cast<PlayTicket*>(userdata));
    if (error != CA_SUCCESS) {
        return;  // stopped, torn down or failed midway: it did not play to its end
    }
    ticket->mainQueue->post([sound = ticket->sound, playId = ticket->playId] {
        auto state = sound.lock();
        if (state && state->currentPlay == playId && state->finished) {
            state->currentPlay = 0;
            auto finished = state->finished;  // the handler may replace itself
            finished();
        }
    });
}

class CanberraSound final : public Sound {
  public:
    CanberraSound(std::shared_ptr<CanberraSoundOutput::Context> context, std::string path,
                  MainQueue& mainQueue, LogSink& logSink)
        : context_(std::move(context)),
          path_(std::move(path)),
          mainQueue_(mainQueue),
          log_(logSink, "Sounds"),
          state_(std::make_shared<SoundState>()) {}

    ~CanberraSound() override { stop(); }

    void setVolume(float volume) override { volume_ = volume; }
    void setFinishedHandler(std::function<void()> finished) override {
        state_->finished = std::move(finished);
    }

    void play() override {
        stop();
        const std::uint32_t id = context_->nextId.fetch_add(1);
        ca_proplist* properties = nullptr;
        if (ca_proplist_create(&properties) != CA_SUCCESS) {
            return;
        }
        ca_proplist_sets(properties, CA_PROP_MEDIA_FILENAME, path_.c_str());
        ca_proplist_sets(properties, CA_PROP_CANBERRA_VOLUME,
                         CanberraSoundOutput::decibels(volume_).c_str());
        ca_proplist_sets(properties, CA_PROP_MEDIA_ROLE, "event");
        ca_proplist_sets(properties, CA_PROP_CANBERRA_CACHE_CONTROL, "never");
        auto* ticket = new PlayTicket{state_, &mainQueue_, id};
        const int result =
            ca_context_play_full(context_->context, id, properties, playFinished, ticket);
        ca_proplist_destroy(properties);
        if (result != CA_SUCCESS) {
            delete ticket;  // canberra calls back only for a request it accepted
            log_.error("Sound {} could not be played: {}", path_, ca_strerror(result));
            return;
        }
        playing_ = id;
        state_->currentPlay = id;
    }

    void stop() override {
        state_->currentPlay = 0;
        if (playing_ != 0) {
            ca_context_cancel(context_->context, playing_);
            playing_ = 0;
        }
    }

  private:
    std::shared_ptr<CanberraSoundOutput::Context> context_;
    std::string path_;
    MainQueue& mainQueue_;
    Logger log_;
    std::shared_ptr<SoundState> state_;
    float volume_ = 1.0F;
    std::uint32_t playing_ = 0;
};

bool playableExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".oga" || extension == ".ogg" || extension == ".wav";
}

}  // namespace

CanberraSoundOutput::CanberraSoundOutput(MainQueue& mainQueue, LogSink& logSink)
    : mainQueue_(mainQueue), logSink_(logSink), context_(std::make_shared<Context>()) {
    if (ca_context_create(&context_->context) != CA_SUCCESS) {
        context_->context = nullptr;
        Logger(logSink, "Sounds").error("No sound output: libcanberra could not start");
        return;
    }
    ca_context_change_props(context_->context, CA_PROP_APPLICATION_NAME, "Ambleguard",
                            CA_PROP_APPLICATION_ID, "ambleguard", nullptr);
}

CanberraSoundOutput::~CanberraSoundOutput() = default;

std::shared_ptr<Sound> CanberraSoundOutput::open(const std::string& path) {
    std::error_code error;
    if (context_->context == nullptr || !std::filesystem::is_regular_file(path, error) ||
        ::access(path.c_str(), R_OK) != 0 || !playableExtension(path)) {
        return nullptr;
    }
    return std::make_shared<CanberraSound>(context_, path, mainQueue_, logSink_);
}

std::string CanberraSoundOutput::decibels(float volume) {
    if (!(volume > 0.0F)) {
        return "-100.00";
    }
    return fmt::format("{:.2f}", 20.0 * std::log10(std::min(volume, 1.0F)));
}

}  // namespace ambleguard::linuxdesktop
