#include "platform/sim/SimSystemPower.h"

namespace ambleguard::sim {

Connection SimSystemPower::observe(PowerNotice notice, std::function<void()> handler) {
    return signalFor(notice).connect(std::move(handler));
}

void SimSystemPower::deliver(PowerNotice notice) {
    mainQueue_.post(liveness_.guarded([this, notice] { signalFor(notice).emit(); }));
}

Signal<>& SimSystemPower::signalFor(PowerNotice notice) {
    switch (notice) {
        case PowerNotice::willSleep:
            return willSleep_;
        case PowerNotice::didWake:
            return didWake_;
        case PowerNotice::screensDidWake:
            break;
    }
    return screensDidWake_;
}

}  // namespace ambleguard::sim
