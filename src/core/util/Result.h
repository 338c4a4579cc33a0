#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace varnel {

// Why a call of the core failed: a message in Chinese as the user reads it,
// and the server's or the client library's number when one gave the reason.
struct Error {
    std::string message;
    unsigned serverNumber = 0;
};

// What a fallible core call gives: its value, or the Error that kept it from
// one. Read it as an optional (`if (r)`, `*r`, `r->`), and `error()` when it
// failed.
template <class T> class [[nodiscard]] Result {
public:
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    {
    }
    Result(Error error)
        : m_state(std::in_place_index<1>, std::move(error))
    {
    }

    explicit operator bool() const { return m_state.index() == 0; }
    bool ok() const { return m_state.index() == 0; }
    T &operator*() { return std::get<0>(m_state); }
    const T &operator*() const { return std::get<0>(m_state); }
    T *operator->() { return &std::get<0>(m_state); }
    const T *operator->() const { return &std::get<0>(m_state); }
    const Error &error() const { return std::get<1>(m_state); }

private:
    std::variant<T, Error> m_state;
};

// A call that gives nothing but may fail.
template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error)
        : m_error(std::move(error))
    {
    }

    explicit operator bool() const { return !m_error; }
    bool ok() const { return !m_error; }
    const Error &error() const { return *m_error; }

private:
    std::optional<Error> m_error;
};

// A failure with the message alone.
inline Error failure(std::string message, unsigned serverNumber = 0)
{
    return Error{std::move(message), serverNumber};
}

} // namespace varnel
