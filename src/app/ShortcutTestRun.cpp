#include "app/ShortcutTestRun.h"

namespace ambleguard {

void ShortcutTestRun::start(std::string_view name) {
    const std::uint64_t generation = ++generation_;
    state_.set(ShortcutTestState::running);
    runner_.testShortcut(name, liveness_.guarded([this, generation](bool succeeded) {
        if (generation != generation_) {
            return;
        }
        state_.set(succeeded ? ShortcutTestState::success : ShortcutTestState::failure);
    }));
}

std::string_view ShortcutTestRun::statusText(ShortcutTestState state) {
    switch (state) {
        case ShortcutTestState::idle:
            return "";
        case ShortcutTestState::running:
            return "Running…";
        case ShortcutTestState::success:
            return "Ran successfully";
        case ShortcutTestState::failure:
            return "Failed";
    }
    return "";
}

}  // namespace ambleguard
