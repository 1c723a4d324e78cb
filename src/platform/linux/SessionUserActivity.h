#pragma once

#include "base/Log.h"
#include "platform/Clock.h"
#include "platform/IdleClock.h"
#include "platform/UserActivity.h"

#include <QDBusConnection>

#include <optional>

namespace ambleguard::linuxdesktop {

// What this desktop records of user activity, in the shape the wake classification reads:
// - the last keyboard or pointer input, from the session's idle time, as one input record (a
//   record posted by software when it follows our own declaration within a moment, since the
//   idle time cannot tell who reset it);
// - programs that keep the session awake (logind's "idle" inhibitors of this user) as declared
//   activity.
// Declaring activity asks the screen saver service to treat the user as active, which wakes
// the displays. Main thread only.
class SessionUserActivity final : public UserActivity {
  public:
    // Our own declaration and the idle reset it causes arrive this close together.
    static constexpr double kOwnDeclarationWindow = 1.5;

    SessionUserActivity(QDBusConnection systemBus, QDBusConnection sessionBus, IdleClock& idle,
                        const Clock& clock, LogSink& logSink);

    std::string_view recordSourceName() const override;
    Records currentRecords() override;
    int declareUserActivity(std::string_view reason) override;
    // Keys we posted ourselves reset the idle time as a person would; they count as ours.
    void noteOwnInput() { lastDeclaration_ = clock_.now(); }

  private:
    QDBusConnection system_;
    QDBusConnection session_;
    IdleClock& idle_;
    const Clock& clock_;
    Logger log_;
    std::optional<Instant> lastDeclaration_;
};

}  // namespace ambleguard::linuxdesktop
