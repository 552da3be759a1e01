#pragma once

#include <QString>

#include <optional>
#include <utility>

// What a store call gives back: a value, or the database layer's own description of why there is none.
// The store never shows an error; the window that called decides what the operator sees.
template <typename T> class Result
{
public:
    Result(T value)
        : m_value(std::move(value))
    { }
    static Result failure(QString error)
    {
        Result r;
        r.m_error = std::move(error);
        return r;
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return *m_value; }
    T&& value() && { return std::move(*m_value); }
    const T& operator*() const& { return *m_value; }
    const T* operator->() const { return &*m_value; }
    const QString& error() const { return m_error; }

private:
    Result() = default;
    std::optional<T> m_value;
    QString m_error;
};

// A store call that gives back nothing but success or the reason it failed.
class Status
{
public:
    Status() = default;
    static Status failure(QString error)
    {
        Status s;
        s.m_failed = true;
        s.m_error = std::move(error);
        return s;
    }
    template <typename T> static Status of(const Result<T>& r) { return r.ok() ? Status() : failure(r.error()); }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString& error() const { return m_error; }

private:
    bool m_failed = false;
    QString m_error;
};
