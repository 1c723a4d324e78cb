#pragma once

#include <memory>
#include <utility>

namespace ambleguard {

// Lets posted work "hold its owner weakly": an owner keeps a LivenessToken as a member, and
// closures made with guarded() do nothing once the owner (and so the token) is gone.
class LivenessToken {
  public:
    LivenessToken() : alive_(std::make_shared<char>(0)) {}
    LivenessToken(const LivenessToken&) = delete;
    LivenessToken& operator=(const LivenessToken&) = delete;

    std::weak_ptr<char> weak() const { return alive_; }

    // Wraps `fn` so that it runs only while the token's owner exists.
    template <typename Fn>
    auto guarded(Fn fn) const {
        return [weak = weak(), fn = std::move(fn)](auto&&... args) mutable {
            if (auto alive = weak.lock()) {
                fn(std::forward<decltype(args)>(args)...);
            }
        };
    }

  private:
    std::shared_ptr<char> alive_;
};

}  // namespace ambleguard
