#include "Platform/Workspace/FakeWorkspace.h"

namespace kestrune {

FakeWorkspace::FakeWorkspace(std::optional<RunningApplication> frontmost, QObject* parent)
    : Workspace(parent)
    , m_frontmost(std::move(frontmost))
{
}

void FakeWorkspace::activate(const RunningApplication& application)
{
    m_frontmost = application;
    emit applicationActivated(application);
}

} // namespace kestrune
