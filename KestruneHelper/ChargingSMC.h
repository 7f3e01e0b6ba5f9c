#pragma once

#include "KestruneHelper/SMCConnection.h"
#include "Shared/ChargingCapabilities.h"
#include "Shared/SMCChargingState.h"

#include <QString>

#include <cstdint>

namespace kestrune {

// Turns charging requests into controller key reads and writes. Machines differ in their
// keys: charging is held through the pair "CH0B"/"CH0C" or through "CHTE", discharge is
// forced through "CHIE" or "CH0I", and "CHWA" is the firmware's own 80 % limit. Each object
// is one operation of the controller: it is made for a request and sees the controller as it
// is then (and as its own writes change it); nothing outlives it.
class ChargingSMC {
public:
    explicit ChargingSMC(SMCConnection& smc);

    ChargingCapabilities probe();
    void setChargingEnabled(bool enabled);
    void setForceDischarge(bool on);
    // Writes `value` in byte 0 of a zeroed buffer of the key's own size.
    void writeSized(const QString& key, std::uint8_t value);
    SMCChargingState readState();
    // Discharge off, then charging on; both are tried, the first error is thrown.
    void resetDefaults();

private:
    bool exists(const QString& key);
    // Whether any byte of the key is non-zero; nothing when it cannot be read.
    std::optional<bool> readFlag(const QString& key);

    SMCConnection& m_smc;
    SMCConnection::Operation m_operation;
};

} // namespace kestrune
