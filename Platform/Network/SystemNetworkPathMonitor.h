#pragma once

#include "Platform/Network/NetworkPathMonitor.h"

namespace kestrune {

// The system's view of reachability through QNetworkInformation (NetworkManager, or GLib's
// network monitor). Only a path the system calls disconnected is unsatisfied: an unknown
// state, or a machine where no backend loads, is treated as online, so that a missing
// network service never cuts the application off from a server it could reach.
class SystemNetworkPathMonitor final : public NetworkPathMonitor {
    Q_OBJECT

public:
    explicit SystemNetworkPathMonitor(QObject* parent = nullptr);

    bool isSatisfied() const override;
};

} // namespace kestrune
