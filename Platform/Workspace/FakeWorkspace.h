#pragma once

#include "Platform/Workspace/Workspace.h"

namespace kestrune {

// A desktop driven by hand, for tests and for running without one.
class FakeWorkspace final : public Workspace {
    Q_OBJECT

public:
    explicit FakeWorkspace(std::optional<RunningApplication> frontmost = std::nullopt, QObject* parent = nullptr);

    std::optional<RunningApplication> frontmostApplication() const override { return m_frontmost; }

    void setFrontmost(std::optional<RunningApplication> application) { m_frontmost = std::move(application); }
    // Brings `application` to the front and announces it.
    void activate(const RunningApplication& application);

private:
    std::optional<RunningApplication> m_frontmost;
};

} // namespace kestrune
