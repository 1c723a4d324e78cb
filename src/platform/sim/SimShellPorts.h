#pragma once

#include "platform/Alerts.h"
#include "platform/AppInstance.h"
#include "platform/LoginItem.h"

#include <string>
#include <vector>

namespace ambleguard::sim {

// Launch at login kept in memory.
class SimLoginItem final : public LoginItem {
  public:
    bool isEnabled() const override { return enabled_; }
    bool setEnabled(bool enabled) override {
        enabled_ = enabled;
        ++changes_;
        return true;
    }
    int changes() const { return changes_; }

  private:
    bool enabled_ = false;
    int changes_ = 0;
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
