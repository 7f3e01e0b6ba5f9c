#include "Kestrune/Backend/BackendFailure.h"

namespace kestrune {

BackendFailure::BackendFailure(BackendError error)
    : m_error(std::move(error))
{
}

BackendFailure BackendFailure::json(QString text)
{
    BackendFailure failure;
    failure.m_text = std::move(text);
    return failure;
}

QString BackendFailure::description() const
{
    return m_error ? m_error->description() : m_text;
}

} // namespace kestrune
