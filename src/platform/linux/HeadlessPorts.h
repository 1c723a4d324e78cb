#pragma once

#include "base/Log.h"
#include "base/MainQueue.h"
#include "platform/Alerts.h"
#include "platform/AppInstance.h"
#include "platform/KeyInjector.h"
#include "platform/Keychain.h"
#include "platform/LoginItem.h"
#include "platform/NotificationPermission.h"
#include "platform/UserActivity.h"

#include <functional>

namespace ambleguard::linuxdesktop {

// Typing into the lock screen is not offered here: the session is asked to unlock itself, so no
// password is stored and no key is posted. (Activity records come from SessionUserActivity.)
class NoTyping final : public Keychain, public KeyInjector, public UserActivity {
  public:
    int addItem(std::string_view, std::string_view, std::string_view) override {
        return kUnavailable;
    }
    ReadResult readItem(std::string_view) override { return {itemNotFound, std::nullopt}; }
    int deleteItem(std::string_view) override { return itemNotFound; }
    bool mayPostEvents() const override { return false; }
    void press(InjectedKey) override {}
    void pressCarrying(std::u16string_view) override {}
    std::string_view recordSourceName() const override { return "activity records"; }
    Records currentRecords() override { return {kUnavailable, {}}; }
    int declareUserActivity(std::string_view) override { return kUnavailable; }

  private:
    static constexpr int kUnavailable = -1;
};

// There is no per-application notification permission on Linux desktops: notifications are
// allowed while a notification service runs (or can be started), and asking changes nothing.
class ServicePresenceNotificationPermission final : public NotificationPermission {
  public:
    ServicePresenceNotificationPermission(MainQueue& mainQueue,
                                          std::function<bool()> serviceAvailable)
        : mainQueue_(mainQueue), serviceAvailable_(std::move(serviceAvailable)) {}
    void getAuthorization(std::function<void(NotificationAuthorization)> answer) override {
        const bool available = serviceAvailable_();
        mainQueue_.post([answer = std::move(answer), available] {
            answer(available ? NotificationAuthorization::authorized
                             : NotificationAuthorization::denied);
        });
    }
    void requestAuthorization(std::uint32_t, std::function<void(bool)> answer) override {
        const bool available = serviceAvailable_();
        mainQueue_.post([answer = std::move(answer), available] { answer(available); });
    }
    // Refused only when no notification service runs, which no settings page changes.
    std::optional<RefusalAdvice> refusalAdvice() const override {
        return RefusalAdvice{
            "No Notification Service",
            "Ambleguard needs the desktop's notification service to alert you when your device "
            "goes out of range, and none is running.\n\nGNOME and KDE Plasma have one built "
            "in; on other desktops, start one (for example dunst or mako).\n\nAfter starting "
            "it, please try again."};
    }

  private:
    MainQueue& mainQueue_;
    std::function<bool()> serviceAvailable_;
};

// Alerts with nobody to answer them: each is logged, and left unanswered rather than answered
// with a choice the user never made.
class LoggedAlerts final : public Alerts {
  public:
    explicit LoggedAlerts(LogSink& logSink) : log_(logSink, "App") {}
    void show(AlertRequest request, std::function<void(std::size_t)> answer) override;

  private:
    Logger log_;
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
