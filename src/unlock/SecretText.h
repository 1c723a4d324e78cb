#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>

namespace ambleguard {

// Overwrites a buffer that held a password before it is released, in a way the compiler may not
// drop as a dead store.
template <typename Char>
void wipe(std::basic_string<Char>& text) {
    volatile Char* p = text.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        p[i] = Char{};
    }
    text.clear();
}

// A password held for as long as one attempt needs it and wiped when it goes away. The text
// lives in one heap buffer that moves by pointer, so moving the holder leaves no copy behind;
// it cannot be copied at all.
template <typename Char>
class Secret {
  public:
    Secret() = default;
    // Takes the text over and wipes `source`.
    explicit Secret(std::basic_string<Char>& source) : text_(std::make_unique<String>()) {
        // Large enough that the text never sits in the string object itself.
        text_->reserve(std::max<std::size_t>(source.size(), 64));
        text_->append(source);
        wipe(source);
    }
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;
    Secret(Secret&&) noexcept = default;
    Secret& operator=(Secret&& other) noexcept {
        if (this != &other) {
            clear();
            text_ = std::move(other.text_);
        }
        return *this;
    }
    ~Secret() { clear(); }

    std::basic_string_view<Char> view() const {
        return text_ ? std::basic_string_view<Char>(*text_) : std::basic_string_view<Char>();
    }
    bool empty() const { return !text_ || text_->empty(); }
    void clear() {
        if (text_) {
            wipe(*text_);
            text_.reset();
        }
    }

  private:
    using String = std::basic_string<Char>;
    std::unique_ptr<String> text_;
};

using SecretText = Secret<char>;
using SecretUnits = Secret<char16_t>;

}  // namespace ambleguard
