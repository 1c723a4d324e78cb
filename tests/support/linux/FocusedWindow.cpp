#include "support/linux/FocusedWindow.h"

#include <X11/Xlib.h>

namespace ambleguard::test {

FocusedWindow::FocusedWindow(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
    if (display_ == nullptr) {
        return;
    }
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 100, 100, 0, 0, 0);
    XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask);
    XMapWindow(display_, window_);
    XEvent event;
    do {
        XNextEvent(display_, &event);
    } while (event.type != MapNotify);
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    XSync(display_, False);
}

FocusedWindow::~FocusedWindow() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

std::u32string FocusedWindow::read() {
    XSync(display_, False);
    std::u32string keys;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
        } else if (event.type == KeyPress) {
            const KeySym keysym = XLookupKeysym(&event.xkey, 0);
            // Unicode keysyms carry the character; Latin-1 ones (and the others) are kept as is.
            keys.push_back(
                static_cast<char32_t>(keysym >= 0x01000000 ? keysym - 0x01000000 : keysym));
        }
    }
    return keys;
}

}  // namespace ambleguard::test
