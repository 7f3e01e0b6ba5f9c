#include "Platform/Network/SystemNetworkPathMonitor.h"

#include <QNetworkInformation>

namespace kestrune {

namespace {

bool satisfied(QNetworkInformation::Reachability reachability)
{
    return reachability != QNetworkInformation::Reachability::Disconnected;
}

} // namespace

SystemNetworkPathMonitor::SystemNetworkPathMonitor(QObject* parent)
    : NetworkPathMonitor(parent)
{
    // One backend serves the whole process; loading it again is a no-op.
    if (!QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return;
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
        [this](
            QNetworkInformation::Reachability reachability) { emit pathChanged(satisfied(reachability)); });
}

bool SystemNetworkPathMonitor::isSatisfied() const
{
    const QNetworkInformation* information = QNetworkInformation::instance();
    return !information || satisfied(information->reachability());
}

} // namespace kestrune
