#pragma once

#include "Platform/Network/NetworkPathMonitor.h"

namespace kestrune {

// A network path switched by hand, for tests.
class FakeNetworkPathMonitor final : public NetworkPathMonitor {
    Q_OBJECT

public:
    explicit FakeNetworkPathMonitor(bool satisfied = true, QObject* parent = nullptr);

    bool isSatisfied() const override { return m_satisfied; }
    // Reports a path, as the system does on every change.
    void report(bool satisfied);

private:
    bool m_satisfied;
};

} // namespace kestrune
