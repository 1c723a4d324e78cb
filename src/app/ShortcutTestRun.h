#pragma once

#include "actions/ShortcutRunner.h"
#include "base/Liveness.h"
#include "base/Published.h"

#include <cstdint>
#include <string_view>

namespace ambleguard {

enum class ShortcutTestState { idle, running, success, failure };

// One "Test" button of the shortcuts panel: runs the named shortcut through the runner's test
// entry and shows how it went. Every press starts a new generation; a run's result is shown only
// if no newer press came since, so pressing twice shows the second run's result alone. A result
// arriving after this object is gone is dropped. Main queue only.
class ShortcutTestRun {
  public:
    explicit ShortcutTestRun(ShortcutRunner& runner) : runner_(runner) {}
    ShortcutTestRun(const ShortcutTestRun&) = delete;
    ShortcutTestRun& operator=(const ShortcutTestRun&) = delete;

    void start(std::string_view name);

    const Published<ShortcutTestState>& state() const { return state_; }
    std::uint64_t generation() const { return generation_; }

    // What the panel writes beside the button: nothing while idle.
    static std::string_view statusText(ShortcutTestState state);

  private:
    ShortcutRunner& runner_;
    Published<ShortcutTestState> state_{ShortcutTestState::idle};
    std::uint64_t generation_ = 0;
    LivenessToken liveness_;
};

}  // namespace ambleguard
