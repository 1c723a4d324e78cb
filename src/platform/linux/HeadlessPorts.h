#pragma once

#include "base/Log.h"
#include "base/MainQueue.h"
#include "platform/Alerts.h"
#include "platform/AppInstance.h"
#include "platform/LoginItem.h"

namespace ambleguard::linuxdesktop {

// Alerts with nobody to answer them: each is logged, and left unanswered rather than answered
// with a choice the user never made.
class LoggedAlerts final : public Alerts {
  public:
    explicit LoggedAlerts(LogSink& logSink) : log_(logSink, "App") {}
    void show(AlertRequest request, std::function<void(std::size_t)> answer) override;

  private:
    Logger log_;
};

// Starting at login is not offered yet: reported as off, and turning it on is refused.
class UnavailableLoginItem final : public LoginItem {
  public:
    bool isEnabled() const override { return false; }
    bool setEnabled(bool enabled) override { return !enabled; }
};

// The running process: a new instance is started detached, and terminating quits Qt's event
// loop after the current main-queue task.
class QtAppInstance final : public AppInstance {
  public:
    QtAppInstance(MainQueue& mainQueue, LogSink& logSink)
        : mainQueue_(mainQueue), log_(logSink, "App") {}
    void launchNewInstance(std::function<void()> completion) override;
    void terminate() override;

  private:
    MainQueue& mainQueue_;
    Logger log_;
};

}  // namespace ambleguard::linuxdesktop
