#pragma once

#include "base/Log.h"

#include <QDBusConnection>
#include <QObject>

#include <functional>

namespace ambleguard::linuxdesktop {

// One running program per user: the first instance owns a name on the session bus; a later one
// finds it taken, asks the owner to show itself (its Show method) and ends.
class SingleInstance final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.quillon.Ambleguard.Instance")

  public:
    enum class Claim {
        // This is the only instance; Show calls reach `show`.
        first,
        // Another instance runs and was asked to show itself.
        another,
        // Another instance runs without a window (headless), so it has nothing to show.
        anotherHeadless,
        // No session bus: nothing can tell two instances apart.
        unchecked,
    };

    static constexpr const char* kServiceName = "com.quillon.Ambleguard";
    static constexpr const char* kObjectPath = "/com/quillon/Ambleguard";

    // `show` brings this instance's window forward; false when it runs without one.
    SingleInstance(QDBusConnection sessionBus, LogSink& logSink, std::function<bool()> show);
    ~SingleInstance() override;

    Claim claim();

  public Q_SLOTS:
    // True when a window was shown.
    Q_SCRIPTABLE bool Show();

  private:
    QDBusConnection bus_;
    Logger log_;
    std::function<bool()> show_;
    bool owned_ = false;
};

}  // namespace ambleguard::linuxdesktop
