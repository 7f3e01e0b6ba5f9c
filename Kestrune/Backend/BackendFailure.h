#pragma once

#include "Kestrune/Backend/BackendError.h"

#include <QString>

#include <optional>

namespace kestrune {

// What a backend operation reports instead of a value: a BackendError, or a failure of the
// JSON layer (an answer that does not parse, a body that cannot be written) with its text.
class BackendFailure {
public:
    BackendFailure(BackendError error); // implicit: every BackendError is a failure
    static BackendFailure json(QString text);

    const std::optional<BackendError>& backendError() const { return m_error; }
    QString description() const;

    bool operator==(const BackendFailure&) const = default;

private:
    BackendFailure() = default;

    std::optional<BackendError> m_error;
    QString m_text;
};

} // namespace kestrune
