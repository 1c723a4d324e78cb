#include "platform/linux/XTestKeyInjector.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace ambleguard::linuxdesktop {

namespace {

// Xlib's default error handler ends the process; a mapping refused by the server must not.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

KeySym keysymForCodePoint(char32_t c) {
    // Latin-1 characters are their own keysyms; every other character has a Unicode keysym.
    if ((c >= 0x20 && c <= 0x7e) || (c >= 0xa0 && c <= 0xff)) {
        return static_cast<KeySym>(c);
    }
    return static_cast<KeySym>(0x01000000U | c);
}

std::vector<char32_t> codePoints(std::u16string_view units) {
    std::vector<char32_t> result;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            result.push_back(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                             (static_cast<char32_t>(units[i + 1]) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            result.push_back(0xFFFD);
        } else {
            result.push_back(u);
        }
    }
    return result;
}

}  // namespace

struct XTestKeyInjector::Connection {
    Display* display = nullptr;
    // Spare codes that now carry one of our characters, and which character each carries.
    std::set<KeyCode> mapped;
    std::map<char32_t, KeyCode> assigned;
};

std::unique_ptr<XTestKeyInjector> XTestKeyInjector::open(const std::string& displayName,
                                                         MainQueue& mainQueue, LogSink& logSink,
                                                         std::function<void()> posted) {
    Display* display = XOpenDisplay(displayName.c_str());
    if (display == nullptr) {
        return nullptr;
    }
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor) == 0) {
        XCloseDisplay(display);
        return nullptr;
    }
    XSetErrorHandler(ignoreXError);
    auto connection = std::make_unique<Connection>();
    connection->display = display;
    return std::unique_ptr<XTestKeyInjector>(
        new XTestKeyInjector(std::move(connection), mainQueue, logSink, std::move(posted)));
}

XTestKeyInjector::XTestKeyInjector(std::unique_ptr<Connection> connection, MainQueue& mainQueue,
                                   LogSink& logSink, std::function<void()> posted)
    : connection_(std::move(connection)),
      mainQueue_(mainQueue),
      log_(logSink, "ScreenUnlock"),
      posted_(std::move(posted)) {}

XTestKeyInjector::~XTestKeyInjector() {
    release_.cancel();
    releaseScratchKeys();
    XCloseDisplay(connection_->display);
}

void XTestKeyInjector::postPress(unsigned keycode) {
    Display* display = connection_->display;
    XTestFakeKeyEvent(display, keycode, True, CurrentTime);
    XTestFakeKeyEvent(display, keycode, False, CurrentTime);
}

void XTestKeyInjector::posted() {
    XSync(connection_->display, False);
    if (posted_) {
        posted_();
    }
}

void XTestKeyInjector::press(InjectedKey key) {
    KeySym keysym = XK_space;
    switch (key) {
        case InjectedKey::space:
            keysym = XK_space;
            break;
        case InjectedKey::deleteBackward:
            keysym = XK_BackSpace;
            break;
        case InjectedKey::returnKey:
            keysym = XK_Return;
            break;
    }
    const KeyCode code = XKeysymToKeycode(connection_->display, keysym);
    if (code == 0) {
        log_.error("The keyboard layout has no key for {}", XKeysymToString(keysym));
        return;
    }
    postPress(code);
    posted();
}

void XTestKeyInjector::pressCarrying(std::u16string_view units) {
    Display* display = connection_->display;
    int minCode = 0;
    int maxCode = 0;
    XDisplayKeycodes(display, &minCode, &maxCode);
    int perCode = 0;
    KeySym* layout = XGetKeyboardMapping(display, static_cast<KeyCode>(minCode),
                                         maxCode - minCode + 1, &perCode);
    if (layout == nullptr) {
        log_.error("Could not read the keyboard mapping; nothing typed");
        return;
    }
    // Codes the layout leaves empty (the ones we filled are not: they keep their characters).
    std::vector<KeyCode> empty;
    for (int code = minCode; code <= maxCode; ++code) {
        const KeySym* syms = layout + static_cast<std::ptrdiff_t>(code - minCode) * perCode;
        if (std::all_of(syms, syms + perCode, [](KeySym s) { return s == NoSymbol; })) {
            empty.push_back(static_cast<KeyCode>(code));
        }
    }
    XFree(layout);
    if (empty.empty() && connection_->assigned.empty()) {
        log_.error("The keyboard mapping has no free key code to type with; nothing typed");
        return;
    }

    // A character keeps its code until the codes are emptied, so a client that reads the
    // mapping late still finds every character typed so far. Only when more distinct characters
    // come than there are free codes are the codes filled again.
    std::size_t nextEmpty = 0;
    std::vector<char32_t> characters = codePoints(units);
    for (const char32_t c : characters) {
        auto it = connection_->assigned.find(c);
        if (it == connection_->assigned.end()) {
            if (nextEmpty == empty.size()) {
                XSync(display, False);
                empty.assign(connection_->mapped.begin(), connection_->mapped.end());
                connection_->assigned.clear();
                nextEmpty = 0;
            }
            const KeyCode code = empty[nextEmpty++];
            // The same symbol on both levels, so Shift or Caps Lock changes nothing.
            KeySym syms[2] = {keysymForCodePoint(c), keysymForCodePoint(c)};
            XChangeKeyboardMapping(display, code, 2, syms, 1);
            connection_->mapped.insert(code);
            // The server must hold the mapping before the key event that uses it.
            XSync(display, False);
            it = connection_->assigned.emplace(c, code).first;
        }
        postPress(it->second);
    }
    // The characters are a piece of the password.
    explicit_bzero(characters.data(), characters.size() * sizeof(char32_t));
    posted();
    release_ = mainQueue_.postAfter(kScratchHoldSeconds, [this] { releaseScratchKeys(); });
}

void XTestKeyInjector::releaseScratchKeys() {
    Display* display = connection_->display;
    for (const KeyCode code : connection_->mapped) {
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(display, code, 2, none, 1);
    }
    connection_->mapped.clear();
    connection_->assigned.clear();
    XSync(display, False);
}

}  // namespace ambleguard::linuxdesktop
