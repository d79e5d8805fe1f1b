#pragma once

#include "core/failure.h"

#include <QLoggingCategory>

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

// The outcome of every step that can fail: its value, or the Failure that
// stopped it. The interface is std::expected<T, Failure>'s (C++23), so that
// this header can become `template <class T> using Result =
// std::expected<T, Failure>;` once the compilers we build with have it.
//
//     Result<QByteArray> readAll(const QString &path);
//     ...
//     auto bytes = readAll(path);
//     if (!bytes)
//         return Unexpected(bytes.error());
//     use(*bytes);
//
// A Result is [[nodiscard]]: a caller that does not look at it does not
// compile without a warning, and -Werror=unused-result makes that an error.

// Carries a Failure into a Result, as std::unexpected does.
class Unexpected {
public:
    explicit Unexpected(Failure failure) : failure_(std::move(failure)) {}
    const Failure &error() const &noexcept { return failure_; }
    Failure &&error() &&noexcept { return std::move(failure_); }

private:
    Failure failure_;
};

template <class T>
class [[nodiscard]] Result {
public:
    using value_type = T;
    using error_type = Failure;

    Result() requires std::is_default_constructible_v<T> : state_(std::in_place_index<0>) {}
    Result(const T &value) : state_(std::in_place_index<0>, value) {}
    Result(T &&value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(const Unexpected &failure) : state_(std::in_place_index<1>, failure.error()) {}
    Result(Unexpected &&failure) : state_(std::in_place_index<1>, std::move(failure).error()) {}

    bool has_value() const noexcept { return state_.index() == 0; }
    explicit operator bool() const noexcept { return has_value(); }

    // The value; asking for it on a failure throws the failure, which a
    // handler's guard shows (as std::expected throws bad_expected_access).
    T &value() &
    {
        if (!has_value())
            throw std::get<1>(state_);
        return std::get<0>(state_);
    }
    const T &value() const &
    {
        if (!has_value())
            throw std::get<1>(state_);
        return std::get<0>(state_);
    }
    T &&value() &&
    {
        if (!has_value())
            throw std::get<1>(state_);
        return std::move(std::get<0>(state_));
    }
    T &operator*() &noexcept { return *std::get_if<0>(&state_); }
    const T &operator*() const &noexcept { return *std::get_if<0>(&state_); }
    T &&operator*() &&noexcept { return std::move(*std::get_if<0>(&state_)); }
    T *operator->() noexcept { return std::get_if<0>(&state_); }
    const T *operator->() const noexcept { return std::get_if<0>(&state_); }

    const Failure &error() const &noexcept { return *std::get_if<1>(&state_); }
    Failure &&error() &&noexcept { return std::move(*std::get_if<1>(&state_)); }

    template <class U>
    T value_or(U &&fallback) const &
    {
        return has_value() ? std::get<0>(state_) : static_cast<T>(std::forward<U>(fallback));
    }

private:
    std::variant<T, Failure> state_;
};

// A step that gives nothing back but may fail.
template <>
class [[nodiscard]] Result<void> {
public:
    using value_type = void;
    using error_type = Failure;

    Result() = default;
    Result(const Unexpected &failure) : failure_(failure.error()) {}
    Result(Unexpected &&failure) : failure_(std::move(failure).error()) {}

    bool has_value() const noexcept { return !failure_.has_value(); }
    explicit operator bool() const noexcept { return has_value(); }
    void value() const
    {
        if (failure_)
            throw *failure_;
    }
    const Failure &error() const &noexcept { return *failure_; }
    Failure &&error() &&noexcept { return std::move(*failure_); }

private:
    std::optional<Failure> failure_;
};

// A failure that reaches no person: one line in the log, in the given
// category, saying what was being done. Every place that catches or
// receives a failure and shows nothing goes through here, so that no
// failure vanishes without a trace.
void logFailure(const QLoggingCategory &category, const char *doing, const Failure &failure);

// The same for a failure that is not ours (an exception of a library or of
// the standard library) caught where nothing may escape.
void logUnexpectedException(const QLoggingCategory &category, const char *doing) noexcept;
