#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

// What a store call gives back: a value, or the database layer's own description of why there is none.
// The store never shows an error; whoever called decides what the operator sees. Reading the value of a
// failure, or the error of a success, is a programming error and asserts.
template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value)
        : m_value(std::move(value))
    { }
    static Result failure(QString error)
    {
        Q_ASSERT_X(!error.isEmpty(), "Result::failure", "a failure needs a reason");
        Result r;
        r.m_error = std::move(error);
        return r;
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const&
    {
        Q_ASSERT_X(ok(), "Result::value", qPrintable(m_error));
        return *m_value;
    }
    // By value, so that a loop over the value of a temporary result does not outlive it.
    T value() &&
    {
        Q_ASSERT_X(ok(), "Result::value", qPrintable(m_error));
        return std::move(*m_value);
    }
    const T& operator*() const& { return value(); }
    const T* operator->() const { return &value(); }
    const QString& error() const
    {
        Q_ASSERT_X(!ok(), "Result::error", "the call succeeded");
        return m_error;
    }
    // The failure of this result, as a result of another type.
    template <typename U> Result<U> as() const { return Result<U>::failure(error()); }

private:
    Result() = default;
    std::optional<T> m_value;
    QString m_error;
};

// A store call that gives back nothing but success or the reason it failed.
class [[nodiscard]] Status
{
public:
    Status() = default;
    static Status failure(QString error)
    {
        Q_ASSERT_X(!error.isEmpty(), "Status::failure", "a failure needs a reason");
        Status s;
        s.m_error = std::move(error);
        return s;
    }
    template <typename T> static Status of(const Result<T>& r) { return r.ok() ? Status() : failure(r.error()); }
    // The failure of a Status, as a Result of any type.
    template <typename T> Result<T> as() const { return Result<T>::failure(error()); }

    bool ok() const { return m_error.isEmpty(); }
    explicit operator bool() const { return ok(); }
    const QString& error() const
    {
        Q_ASSERT_X(!ok(), "Status::error", "the call succeeded");
        return m_error;
    }

private:
    QString m_error;
};
