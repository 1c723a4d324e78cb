#include "unlock/UnlockOutcomeWatch.h"

namespace ambleguard {

UnlockOutcomeWatch::UnlockOutcomeWatch(Dependencies deps)
    : log_(deps.log),
      session_(deps.session),
      screenLocked_(std::move(deps.screenLocked)),
      mainQueue_(deps.mainQueue),
      clock_(deps.clock),
      onOutcome_(std::move(deps.onOutcome)) {}

void UnlockOutcomeWatch::start() {
    if (observing_) {
        log_.debug("Unlock outcome watch superseded by a new attempt");
        stop();
    }
    const long token = ++attempt_;
    startedAt_ = clock_.now();
    observer_ = session_.observe(ScreenNotice::unlocked,
                                 liveness_.guarded([this, token] { unlockNotice(token); }));
    observing_ = true;
    // Replacing the handle cancels a superseded attempt's time-out, which would find a newer
    // token anyway; the handle also ends the time-out with the watch.
    timeout_ = mainQueue_.postAfter(timeout, liveness_.guarded([this, token] { timedOut(token); }));
}

void UnlockOutcomeWatch::stop() {
    observer_.reset();
    observing_ = false;
    startedAt_.reset();
}

double UnlockOutcomeWatch::elapsed() const {
    return startedAt_ ? secondsBetween(*startedAt_, clock_.now()) : 0.0;
}

void UnlockOutcomeWatch::unlockNotice(long token) {
    if (!current(token)) {
        return;
    }
    const double after = elapsed();
    stop();
    onOutcome_(Unlocked{after});
}

void UnlockOutcomeWatch::timedOut(long token) {
    if (!current(token)) {
        return;
    }
    const bool locked = screenLocked_();
    const double after = elapsed();
    stop();
    if (locked) {
        onOutcome_(StayedLocked{after});
    } else {
        // Unlocked without the notice having been seen.
        onOutcome_(Unlocked{after});
    }
}

}  // namespace ambleguard
