#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace ambleguard {

// The failure half of a Result on its way in: `return failure("why");` reads as what it is
// and cannot be mistaken for a value, even where the value is a text too.
template <typename E>
struct Failure {
    E error;
};

template <typename E>
Failure<std::decay_t<E>> failure(E&& error) {
    return {std::forward<E>(error)};
}

inline Failure<std::string> failure(const char* error) {
    return {std::string(error)};
}

// The one shape of an operation that can fail: its value, or why it failed. The reason is a
// text for the log or the user unless a caller needs more than a sentence (a line number, the
// path of a field). Exceptions never cross component boundaries; a function that can fail
// returns a Result, and the caller has to look at it.
template <typename T, typename E = std::string>
class [[nodiscard]] Result {
  public:
    using Value = T;
    using Error = E;

    // A value converts on its own, so `return value;` works; a failure always says so.
    // NOLINTNEXTLINE(google-explicit-constructor)
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    template <typename F>
    // NOLINTNEXTLINE(google-explicit-constructor)
    Result(Failure<F> failure) : state_(std::in_place_index<1>, E(std::move(failure.error))) {}

    static Result success(T value) { return Result(std::move(value)); }
    static Result failure(E error) { return Result(Failure<E>{std::move(error)}); }

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & {
        assert(ok());
        return *std::get_if<0>(&state_);
    }
    const T& value() const& {
        assert(ok());
        return *std::get_if<0>(&state_);
    }
    T&& value() && {
        assert(ok());
        return std::move(*std::get_if<0>(&state_));
    }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const E& error() const {
        assert(!ok());
        return *std::get_if<1>(&state_);
    }

    bool operator==(const Result&) const = default;

  private:
    std::variant<T, E> state_;
};

// Success, or why the operation failed.
template <typename E>
class [[nodiscard]] Result<void, E> {
  public:
    using Error = E;

    template <typename F>
    // NOLINTNEXTLINE(google-explicit-constructor)
    Result(Failure<F> failure) : error_(E(std::move(failure.error))) {}

    static Result success() { return Result(); }
    static Result failure(E error) { return Result(Failure<E>{std::move(error)}); }

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }

    const E& error() const {
        assert(!ok());
        return *error_;
    }

    bool operator==(const Result&) const = default;

  private:
    Result() = default;

    std::optional<E> error_;
};

}  // namespace ambleguard
