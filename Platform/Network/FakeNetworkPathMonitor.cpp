#include "Platform/Network/FakeNetworkPathMonitor.h"

namespace kestrune {

FakeNetworkPathMonitor::FakeNetworkPathMonitor(bool satisfied, QObject* parent)
    : NetworkPathMonitor(parent)
    , m_satisfied(satisfied)
{
}

void FakeNetworkPathMonitor::report(bool satisfied)
{
    m_satisfied = satisfied;
    emit pathChanged(satisfied);
}

} // namespace kestrune
