#include "platform/sim/SimLockScreen.h"

#include "base/TextEscaping.h"

#include <algorithm>

#include <fmt/format.h>

namespace ambleguard::sim {

namespace {

// UTF-8 of UTF-16 `units`; an unpaired surrogate becomes U+FFFD, so it never matches.
std::string toUtf8(std::u16string_view units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

void wipe(std::u16string& text) {
    std::fill(text.begin(), text.end(), u'\0');
    text.clear();
}

}  // namespace

SimLockScreen::SimLockScreen(SimScreenSession& session, SimIdleClock& idleClock,
                             MainQueue& mainQueue, const Clock& clock, SimLockScreenConfig config)
    : session_(session),
      idleClock_(idleClock),
      mainQueue_(mainQueue),
      clock_(clock),
      config_(std::move(config)) {}

SimLockScreen::~SimLockScreen() {
    wipe(field_);
}

void SimLockScreen::press(InjectedKey key) {
    syntheticInput("ambleguard");
    // The keystroke lands first, then it is announced: an observer may change the world.
    if (!session_.screenLocked()) {
        if (key == InjectedKey::returnKey) {
            ++desktopReturns_;
        }
    } else {
        switch (key) {
            case InjectedKey::deleteBackward:
                wipe(field_);
                break;
            case InjectedKey::space:
                field_ += u' ';
                break;
            case InjectedKey::returnKey:
                checkField();
                break;
        }
    }
    record({Action::Kind::key, key, 0});
}

void SimLockScreen::pressCarrying(std::u16string_view units) {
    syntheticInput("ambleguard");
    if (!session_.screenLocked()) {
        desktopUnits_ += units.size();
    } else {
        field_.append(units);
    }
    record({Action::Kind::typed, InjectedKey::space, units.size()});
}

void SimLockScreen::checkField() {
    ++checks_;
    std::string typed = toUtf8(field_);
    const bool matches = config_.password && typed == *config_.password;
    std::fill(typed.begin(), typed.end(), '\0');
    wipe(field_);
    if (matches) {
        (void)mainQueue_.postAfter(passwordCheckDelay,
                                   liveness_.guarded([this] { session_.lockScreenUnlocks(); }));
    }
}

Result<void> SimLockScreen::requestUnlock() {
    if (!config_.sessionFound) {
        return failure("no login session of this user was found");
    }
    record({Action::Kind::unlockRequested});
    if (config_.honoursUnlockRequests) {
        (void)mainQueue_.postAfter(unlockRequestDelay,
                                   liveness_.guarded([this] { session_.lockScreenUnlocks(); }));
    }
    return Result<void>::success();
}

UserActivity::Records SimLockScreen::currentRecords() {
    if (recordsStatus_ != 0) {
        return {recordsStatus_, {}};
    }
    return {0, records_};
}

int SimLockScreen::declareUserActivity(std::string_view reason) {
    if (displayWakeStatus_ != 0) {
        return displayWakeStatus_;
    }
    renew(std::string(reason), "ambleguard");
    record({Action::Kind::displayWake});
    return 0;
}

void SimLockScreen::humanInput(std::string_view device) {
    idleClock_.userInput();
    renew(fmt::format("input.tickle product: {}", device), "input");
}

void SimLockScreen::syntheticInput(std::string_view process) {
    idleClock_.userInput();
    renew(fmt::format("input.tickle.synthetic process: {}", process), std::string(process));
}

void SimLockScreen::declaredActivity(std::string_view process, std::string_view name) {
    renew(std::string(name), std::string(process));
}

void SimLockScreen::renew(std::string name, std::string process) {
    const auto now = clock_.now();
    for (auto& r : records_) {
        if (r.name == name && r.processName == process) {
            r.updated = now;
            return;
        }
    }
    // Process ids are made up but stable per process.
    const int pid = 400 + static_cast<int>(std::hash<std::string>{}(process) % 9000);
    records_.push_back(ActivityRecord{std::move(name), std::move(process), pid, now, now});
}

void SimLockScreen::record(Action action) {
    actions_.push_back(action);
    actionRecorded_.emit(action);
}

Connection SimLockScreen::onAction(std::function<void(const Action&)> observer) {
    return actionRecorded_.connect(std::move(observer));
}

}  // namespace ambleguard::sim
