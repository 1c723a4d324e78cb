#pragma once

#include "platform/Alerts.h"
#include "platform/AppInstance.h"
#include "platform/LoginItem.h"

#include <optional>
#include <string>
#include <vector>

namespace ambleguard::sim {

// Launch at login kept in memory. Changes succeed unless a refusal is set, which then answers
// every change until cleared.
class SimLoginItem final : public LoginItem {
  public:
    Status status() const override { return status_; }
    Result<void> registerItem() override {
        ++registrations_;
        if (refusal_) {
            return failure(*refusal_);
        }
        status_ = Status::enabled;
        return Result<void>::success();
    }
    Result<void> unregisterItem() override {
        ++unregistrations_;
        if (refusal_) {
            return failure(*refusal_);
        }
        status_ = Status::notRegistered;
        return Result<void>::success();
    }

    bool isEnabled() const { return status_ == Status::enabled; }
    // What the user did in the system's own settings.
    void setStatus(Status status) { status_ = status; }
    void refuseWith(std::optional<std::string> error) { refusal_ = std::move(error); }
    int registrations() const { return registrations_; }
    int unregistrations() const { return unregistrations_; }

  private:
    Status status_ = Status::notRegistered;
    std::optional<std::string> refusal_;
    int registrations_ = 0;
    int unregistrations_ = 0;
};

// Records relaunch and termination requests instead of acting on them.
class SimAppInstance final : public AppInstance {
  public:
    void launchNewInstance(std::function<void()> completion) override {
        ++launches_;
        if (completion)
            completion();
    }
    void terminate() override { ++terminations_; }
    int launches() const { return launches_; }
    int terminations() const { return terminations_; }

  private:
    int launches_ = 0;
    int terminations_ = 0;
};

// Answers every alert with a chosen button (the first by default) and keeps what was shown.
class SimAlerts final : public Alerts {
  public:
    void show(AlertRequest request, std::function<void(std::size_t)> answer) override {
        shown_.push_back(request);
        if (answer)
            answer(nextAnswer_);
    }
    void answerWith(std::size_t button) { nextAnswer_ = button; }
    const std::vector<AlertRequest>& shown() const { return shown_; }

  private:
    std::vector<AlertRequest> shown_;
    std::size_t nextAnswer_ = 0;
};

}  // namespace ambleguard::sim
