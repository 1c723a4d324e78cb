#pragma once

#include "base/Log.h"
#include "base/MainQueue.h"
#include "platform/KeyInjector.h"

#include <functional>
#include <memory>
#include <string>

namespace ambleguard::linuxdesktop {

// Key presses posted through the X server's XTEST extension, for typing into an X11 lock
// screen. Wayland offers no such thing, so this is only ever built for an X11 session.
//
// Text carried by a press may hold any character, including ones no key of the user's layout
// produces: each character goes out on a spare key code (one the layout leaves empty) that is
// mapped to it. A character keeps its code, and no code changes its character, until the codes
// are emptied a moment after the last press: X clients read a changed mapping lazily, so a lock
// screen reading late would otherwise see the wrong character.
//
// Main thread only.
class XTestKeyInjector final : public KeyInjector {
  public:
    // How long the spare key codes keep their characters after the last press.
    static constexpr double kScratchHoldSeconds = 1.0;

    // Connects to `displayName` (such as ":0"); null when the display cannot be opened or has
    // no XTEST extension. `posted` runs after each batch of posted events (the session then
    // counts them as input, which is ours and not a person's).
    static std::unique_ptr<XTestKeyInjector> open(const std::string& displayName,
                                                  MainQueue& mainQueue, LogSink& logSink,
                                                  std::function<void()> posted);

    XTestKeyInjector(const XTestKeyInjector&) = delete;
    XTestKeyInjector& operator=(const XTestKeyInjector&) = delete;
    ~XTestKeyInjector() override;

    bool mayPostEvents() const override { return true; }
    void press(InjectedKey key) override;
    // Characters the spare codes cannot hold at once (more distinct characters than spare
    // codes) go out in several mappings; a unit that is not valid UTF-16 is sent as U+FFFD.
    void pressCarrying(std::u16string_view units) override;

    // Empties the spare key codes now (also done by the destructor).
    void releaseScratchKeys();

  private:
    struct Connection;
    XTestKeyInjector(std::unique_ptr<Connection> connection, MainQueue& mainQueue, LogSink& logSink,
                     std::function<void()> posted);
    void postPress(unsigned keycode);
    void posted();

    std::unique_ptr<Connection> connection_;
    MainQueue& mainQueue_;
    Logger log_;
    std::function<void()> posted_;
    ScopedTimer release_;
};

}  // namespace ambleguard::linuxdesktop
