#pragma once

#include <string>

// Xlib's Display, without Xlib's macros (which would rewrite gtest's names).
struct _XDisplay;

namespace ambleguard::test {

// A window of our own on an X server that holds the keyboard focus and keeps what is typed into
// it, read through the keyboard mapping as any X client reads it.
class FocusedWindow {
  public:
    explicit FocusedWindow(const std::string& display);
    FocusedWindow(const FocusedWindow&) = delete;
    FocusedWindow& operator=(const FocusedWindow&) = delete;
    ~FocusedWindow();

    bool ok() const { return display_ != nullptr; }
    _XDisplay* display() const { return display_; }

    // The keys that arrived since the last call: characters as themselves, other keys (such as
    // BackSpace and Return) as their keysym values.
    std::u32string read();

  private:
    _XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
};

}  // namespace ambleguard::test
