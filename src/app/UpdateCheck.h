#pragma once

#include "app/UpdateChecker.h"
#include "base/Liveness.h"
#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Published.h"
#include "platform/HttpClient.h"
#include "platform/ProgramInfo.h"
#include "settings/SettingsStore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ambleguard {

// Asks the version service for the latest build number and publishes whether it is newer than
// the running build. Only a successful check changes the answer; a failure is logged and keeps
// the previous one. There is no installer behind it: an update found leads to the download
// page. Main queue only.
class UpdateCheck final : public UpdateChecker {
  public:
    static constexpr std::string_view kVersionPath = "/api/version";
    static constexpr std::string_view kUpdateAvailableTitle = "Update Available! \u2B06\uFE0F";
    static constexpr std::string_view kCheckForUpdatesTitle = "Check for Updates";

    UpdateCheck(HttpClient& http, MainQueue& mainQueue, SettingsStore& settings, LogSink& logSink,
                ProgramInfo program);
    UpdateCheck(const UpdateCheck&) = delete;
    UpdateCheck& operator=(const UpdateCheck&) = delete;

    // Starts one check. Does nothing at all in a build without a version service.
    void checkForUpdates() override;

    // False in a build without a version service; the menu then has no update entry.
    bool isEnabled() const { return !program_.updateEndpoint.empty(); }
    const Published<bool>& hasAvailableUpdate() const { return hasAvailableUpdate_; }
    // The status menu's update entry.
    std::string_view menuTitle() const;
    // The user chose the update entry: with an update found, returns the download page for the
    // interface to open; otherwise starts a check and returns nothing.
    std::optional<std::string> menuEntryChosen();

    // The address one check asks, or nothing when none can be formed from the endpoint.
    std::optional<std::string> requestAddress();
    // This installation's identifier, made on first use and stored.
    std::string clientIdentifier();

  private:
    void complete(const HttpResult& result);

    HttpClient& http_;
    MainQueue& mainQueue_;
    SettingsStore& settings_;
    Logger log_;
    ProgramInfo program_;
    Published<bool> hasAvailableUpdate_{false};
    LivenessToken liveness_;
};

// A build number as the version service and the program write it: optional sign, then decimal
// digits only. Nothing for anything else, including numbers too large to compare.
std::optional<std::int64_t> parseBuildNumber(std::string_view text);

}  // namespace ambleguard
