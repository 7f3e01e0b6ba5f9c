#include "KestruneHelper/ChargingSMC.h"

#include <optional>

namespace kestrune {

namespace {
const QString CH0B = QStringLiteral("CH0B");
const QString CH0C = QStringLiteral("CH0C");
const QString CHTE = QStringLiteral("CHTE");
const QString CHIE = QStringLiteral("CHIE");
const QString CH0I = QStringLiteral("CH0I");
const QString CHWA = QStringLiteral("CHWA");
const QString chargeKeys = QStringLiteral("CH0B/CH0C/CHTE");
const QString dischargeKeys = QStringLiteral("CH0I/CHIE");
} // namespace

ChargingSMC::ChargingSMC(SMCConnection& smc)
    : m_smc(smc)
    , m_operation(smc)
{
}

bool ChargingSMC::exists(const QString& key)
{
    try {
        m_smc.keyInfo(key);
        return true;
    } catch (const SMCError&) {
        return false;
    }
}

ChargingCapabilities ChargingSMC::probe()
{
    ChargingCapabilities caps;
    const bool hasB = exists(CH0B);
    const bool hasC = exists(CH0C);
    const bool hasTE = exists(CHTE);
    if (hasB || hasC) {
        caps.chargingControlMethod = QStringLiteral("CH0B/CH0C");
    } else if (hasTE) {
        caps.chargingControlMethod = CHTE;
    } else {
        caps.notes << QStringLiteral("充電停止キー(CH0B/CH0C/CHTE)が見つかりません");
    }

    if (exists(CHIE)) {
        caps.dischargeMethod = CHIE;
    } else if (exists(CH0I)) {
        caps.dischargeMethod = CH0I;
    } else {
        caps.notes << QStringLiteral("放電キー(CH0I/CHIE)が見つかりません");
    }

    caps.hasAppleLimit80 = exists(CHWA);
    caps.smcAvailable = true;
    return caps;
}

void ChargingSMC::writeSized(const QString& key, std::uint8_t value)
{
    const auto info = m_smc.keyInfo(key);
    if (info.dataSize > sizeof(SMCConnection::SMCParamStruct::bytes))
        throw SMCError::dataTooLarge(info.dataSize);
    QByteArray buffer(static_cast<qsizetype>(info.dataSize), '\0');
    if (!buffer.isEmpty())
        buffer[0] = static_cast<char>(value);
    m_smc.writeBytes(key, buffer);
}

void ChargingSMC::setChargingEnabled(bool enabled)
{
    if (!exists(CH0B) && !exists(CH0C)) {
        if (exists(CHTE)) {
            const QByteArray bytes = enabled ? QByteArray("\x00\x00\x00\x00", 4) : QByteArray("\x01\x00\x00\x00", 4);
            m_smc.writeBytes(CHTE, bytes);
            return;
        }
        throw SMCError::keyNotFound(chargeKeys);
    }

    const std::uint8_t value = enabled ? 0x00 : 0x02;
    bool anyWritten = false;
    std::optional<SMCError> lastError;
    for (const QString& key : {CH0B, CH0C}) {
        if (!exists(key))
            continue;
        try {
            writeSized(key, value);
            anyWritten = true;
        } catch (const SMCError& error) {
            lastError = error;
        }
    }
    if (anyWritten)
        return;
    if (lastError)
        throw *lastError;
    throw SMCError::keyNotFound(chargeKeys);
}

void ChargingSMC::setForceDischarge(bool on)
{
    if (exists(CHIE)) {
        writeSized(CHIE, on ? 0x08 : 0x00);
    } else if (exists(CH0I)) {
        writeSized(CH0I, on ? 0x01 : 0x00);
    } else {
        throw SMCError::keyNotFound(dischargeKeys);
    }
}

std::optional<bool> ChargingSMC::readFlag(const QString& key)
{
    try {
        const QByteArray bytes = m_smc.readBytes(key);
        for (char b : bytes) {
            if (b != 0)
                return true;
        }
        return false;
    } catch (const SMCError&) {
        return std::nullopt;
    }
}

SMCChargingState ChargingSMC::readState()
{
    SMCChargingState state;
    // The fallback key is read only when the first cannot be: an all-zero read is final.
    const auto firstReadable = [this](const QString& key, const QString& fallback) {
        if (const auto flag = readFlag(key))
            return *flag;
        return readFlag(fallback).value_or(false);
    };
    state.chargingInhibited = firstReadable(CH0B, CHTE);
    state.forceDischarging = firstReadable(CHIE, CH0I);
    try {
        const QByteArray bytes = m_smc.readBytes(CHWA);
        if (!bytes.isEmpty())
            state.appleLimit80 = bytes[0] != 0;
    } catch (const SMCError&) {
    }
    return state;
}

void ChargingSMC::resetDefaults()
{
    std::optional<SMCError> first;
    try {
        setForceDischarge(false);
    } catch (const SMCError& error) {
        first = error;
    }
    try {
        setChargingEnabled(true);
    } catch (const SMCError& error) {
        if (!first)
            first = error;
    }
    if (first)
        throw *first;
}

} // namespace kestrune
