#include "platform/linux/XssIdleClock.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace ambleguard::linuxdesktop {

struct XssIdleClock::Connection {
    Display* display = nullptr;
    XScreenSaverInfo* info = nullptr;
};

std::unique_ptr<XssIdleClock> XssIdleClock::open(const std::string& displayName) {
    Display* display = XOpenDisplay(displayName.c_str());
    if (display == nullptr) {
        return nullptr;
    }
    int eventBase = 0;
    int errorBase = 0;
    XScreenSaverInfo* info = nullptr;
    if (XScreenSaverQueryExtension(display, &eventBase, &errorBase) == 0 ||
        (info = XScreenSaverAllocInfo()) == nullptr) {
        XCloseDisplay(display);
        return nullptr;
    }
    auto connection = std::make_unique<Connection>();
    connection->display = display;
    connection->info = info;
    return std::unique_ptr<XssIdleClock>(new XssIdleClock(std::move(connection)));
}

XssIdleClock::XssIdleClock(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

XssIdleClock::~XssIdleClock() {
    XFree(connection_->info);
    XCloseDisplay(connection_->display);
}

std::optional<double> XssIdleClock::secondsSinceLastInput() {
    Display* display = connection_->display;
    if (XScreenSaverQueryInfo(display, DefaultRootWindow(display), connection_->info) == 0) {
        return std::nullopt;
    }
    return static_cast<double>(connection_->info->idle) / 1000.0;
}

}  // namespace ambleguard::linuxdesktop
