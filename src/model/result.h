// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <utility>

namespace tavlo {

// What an operation that can fail gives back: its value, or why there is
// none. Every fallible operation of the model and the image reports this way.
//     if (const Result<QByteArray> read = readFile(path); !read)
//         report(read.error());
template <typename T, typename E = QString> class [[nodiscard]] Result {
public:
    Result(T value)
        : m_value(std::move(value))
    {
    }
    static Result failure(E why)
    {
        Result result;
        result.m_error = std::move(why);
        return result;
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    const T &value() const { return *m_value; }
    const T &operator*() const { return *m_value; }
    const T *operator->() const { return &*m_value; }

    // Only when not ok().
    const E &error() const { return m_error; }

private:
    Result() = default;

    std::optional<T> m_value;
    E m_error{};
};

// The value of an operation that gives nothing back but success.
struct Done {};
template <typename E = QString> using Status = Result<Done, E>;

} // namespace tavlo
