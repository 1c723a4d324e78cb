#pragma once

#include "base/Sequence.h"

#include <memory>
#include <utility>

namespace ambleguard {

// Lets posted work "hold its owner weakly": an owner keeps a LivenessToken as a member, and
// closures made with guarded() do nothing once the owner (and so the token) is gone.
//
// The check is only sound when the owner is destroyed on the same sequence that runs the
// closures (otherwise the owner could go away while a closure is half way through). So a token
// belongs to one sequence: the first one that runs one of its closures. Debug builds assert that
// every later closure runs there too. An owner that posts work to a second sequence keeps a
// second token for it and invalidates that one on its sequence before it goes away.
class LivenessToken {
  public:
    LivenessToken() : state_(std::make_shared<State>()) {}
    LivenessToken(const LivenessToken&) = delete;
    LivenessToken& operator=(const LivenessToken&) = delete;

    // Wraps `fn` so that it runs only while the token's owner exists.
    template <typename Fn>
    auto guarded(Fn fn) const {
        return [weak = std::weak_ptr<State>(state_), fn = std::move(fn)](auto&&... args) mutable {
            if (auto alive = weak.lock()) {
                alive->sequence.check();
                fn(std::forward<decltype(args)>(args)...);
            }
        };
    }

    // Closures made so far do nothing from now on (call it on the token's sequence).
    void invalidate() {
        state_->sequence.check();
        state_ = std::make_shared<State>();
    }

  private:
    struct State {
        SequenceChecker sequence;
    };
    std::shared_ptr<State> state_;
};

}  // namespace ambleguard
