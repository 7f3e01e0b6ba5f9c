#pragma once

#include "Kestrune/Backend/BackendFailure.h"

#include <optional>
#include <utility>

namespace kestrune {

// A backend operation's outcome: its value, or the failure that took its place.
template <typename T> class BackendResult {
public:
    BackendResult(T value) // implicit, as are the two below
        : m_value(std::move(value))
    {
    }
    BackendResult(BackendFailure failure)
        : m_failure(std::move(failure))
    {
    }
    BackendResult(BackendError error)
        : m_failure(BackendFailure(std::move(error)))
    {
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return *m_value; }
    T&& value() && { return std::move(*m_value); }
    const T* operator->() const { return &*m_value; }
    const BackendFailure& failure() const { return *m_failure; }

private:
    std::optional<T> m_value;
    std::optional<BackendFailure> m_failure;
};

} // namespace kestrune
