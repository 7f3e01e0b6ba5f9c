#include "Platform/Smc/SysfsSmcUserClient.h"

#include "Platform/Sysfs/ChargeBehaviour.h"
#include "Platform/Sysfs/PowerSupplyTree.h"

#include <algorithm>
#include <cstring>

namespace kestrune {

namespace {

constexpr std::uint32_t code(const char (&text)[5])
{
    return (std::uint32_t(std::uint8_t(text[0])) << 24) | (std::uint32_t(std::uint8_t(text[1])) << 16)
        | (std::uint32_t(std::uint8_t(text[2])) << 8) | std::uint32_t(std::uint8_t(text[3]));
}

constexpr std::uint32_t keyCH0B = code("CH0B");
constexpr std::uint32_t keyCH0C = code("CH0C");
constexpr std::uint32_t keyCHTE = code("CHTE");
constexpr std::uint32_t keyCHIE = code("CHIE");
constexpr std::uint32_t keyCH0I = code("CH0I");
constexpr std::uint32_t keyCHWA = code("CHWA");
constexpr std::uint32_t typeUInt8 = code("ui8 ");
constexpr std::uint32_t typeUInt32 = code("ui32");
constexpr std::uint8_t attributesReadWrite = 0xd4;

const QString behaviourAttribute = QStringLiteral("charge_behaviour");
const QString endThresholdAttribute = QStringLiteral("charge_control_end_threshold");

std::uint32_t readU32(const std::uint8_t* record, std::size_t offset)
{
    std::uint32_t value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

void writeU32(std::uint8_t* record, std::size_t offset, std::uint32_t value)
{
    std::memcpy(record + offset, &value, sizeof value);
}

bool anyNonZero(const std::uint8_t* bytes, std::uint32_t size)
{
    for (std::uint32_t i = 0; i < size; ++i) {
        if (bytes[i] != 0)
            return true;
    }
    return false;
}

// The byte a set key reads as; clear keys read as zero.
std::uint8_t setValue(std::uint32_t key)
{
    switch (key) {
    case keyCH0B:
    case keyCH0C:
        return 0x02;
    case keyCHIE:
        return 0x08;
    default:
        return 0x01;
    }
}

} // namespace

SysfsSmcUserClient::SysfsSmcUserClient(QString sysfsRoot)
    : m_root(std::move(sysfsRoot))
{
}

void SysfsSmcUserClient::beginOperation()
{
    m_inOperation = true;
    m_operationBatteries.reset();
}

void SysfsSmcUserClient::endOperation()
{
    m_inOperation = false;
    m_operationBatteries.reset();
}

QList<SysfsSmcUserClient::Battery> SysfsSmcUserClient::batteries()
{
    if (!m_inOperation)
        return readBatteries();
    if (!m_operationBatteries)
        m_operationBatteries = readBatteries();
    return *m_operationBatteries;
}

QList<SysfsSmcUserClient::Battery> SysfsSmcUserClient::readBatteries()
{
    QList<Battery> result;
    for (const PowerSupplyTree::Supply& supply : PowerSupplyTree(m_root).systemBatteries()) {
        Battery b;
        b.path = supply.path;
        if (const auto text = PowerSupplyTree::read(b.path, behaviourAttribute)) {
            const ChargeBehaviour behaviour = ChargeBehaviour::parse(*text);
            b.hasBehaviour = true;
            b.active = behaviour.active;
            if (behaviour.listed)
                m_knownModes.insert(b.path, behaviour.modes);
            b.modes = m_knownModes.value(b.path, behaviour.modes);
            if (!b.modes.contains(b.active) && !b.active.isEmpty())
                b.modes << b.active;
        }
        b.endThreshold = PowerSupplyTree::readInteger(b.path, endThresholdAttribute);
        result.push_back(b);
    }
    return result;
}

std::optional<SysfsSmcUserClient::KeyInfo> SysfsSmcUserClient::keyInfo(std::uint32_t key, const Battery& b)
{
    const bool inhibit = b.hasBehaviour && b.modes.contains(QLatin1String(ChargeBehaviour::inhibitCharge));
    const bool discharge = b.hasBehaviour && b.modes.contains(QLatin1String(ChargeBehaviour::forceDischarge));
    switch (key) {
    case keyCH0B:
    case keyCH0C:
        return inhibit ? std::optional<KeyInfo>({1, typeUInt8}) : std::nullopt;
    case keyCHTE:
        return inhibit ? std::optional<KeyInfo>({4, typeUInt32}) : std::nullopt;
    case keyCHIE:
    case keyCH0I:
        return discharge ? std::optional<KeyInfo>({1, typeUInt8}) : std::nullopt;
    case keyCHWA:
        return b.endThreshold ? std::optional<KeyInfo>({1, typeUInt8}) : std::nullopt;
    default:
        return std::nullopt;
    }
}

bool SysfsSmcUserClient::isSet(std::uint32_t key, const Battery& b)
{
    switch (key) {
    case keyCH0B:
    case keyCH0C:
    case keyCHTE:
        return b.active == QLatin1String(ChargeBehaviour::inhibitCharge);
    case keyCHIE:
    case keyCH0I:
        return b.active == QLatin1String(ChargeBehaviour::forceDischarge);
    case keyCHWA:
        return b.endThreshold && *b.endThreshold <= 80;
    default:
        return false;
    }
}

bool SysfsSmcUserClient::setBehaviour(const Battery& b, const QString& mode)
{
    if (b.active == mode)
        return true;
    return PowerSupplyTree::write(b.path, behaviourAttribute, mode);
}

bool SysfsSmcUserClient::writeKey(std::uint32_t key, const Battery& b, bool on)
{
    const QString automatic = QLatin1String(ChargeBehaviour::automatic);
    const QString inhibit = QLatin1String(ChargeBehaviour::inhibitCharge);
    const QString discharge = QLatin1String(ChargeBehaviour::forceDischarge);
    switch (key) {
    case keyCH0B:
    case keyCH0C:
    case keyCHTE:
        // The kernel has one mode for both holds. Forced discharge already keeps the battery
        // from charging, so inhibiting leaves it on; releasing the inhibit touches only an inhibit.
        if (on)
            return b.active == discharge || setBehaviour(b, inhibit);
        return b.active != inhibit || setBehaviour(b, automatic);
    case keyCHIE:
    case keyCH0I:
        if (on)
            return setBehaviour(b, discharge);
        return b.active != discharge || setBehaviour(b, automatic);
    case keyCHWA:
        return PowerSupplyTree::write(b.path, endThresholdAttribute, on ? QStringLiteral("80") : QStringLiteral("100"));
    default:
        return false;
    }
}

std::int32_t SysfsSmcUserClient::callStructMethod(std::uint32_t selector, const std::uint8_t* input,
                                                  std::size_t inputSize, std::uint8_t* output,
                                                  std::size_t* outputSize)
{
    if (selector != structSelector || input == nullptr || output == nullptr || outputSize == nullptr
        || inputSize != recordSize || *outputSize < recordSize)
        return errorBadArgument;

    std::uint8_t record[recordSize];
    std::memcpy(record, input, recordSize);
    *outputSize = recordSize;

    const auto answer = [&](std::uint8_t result) {
        record[offsetResult] = result;
        std::memcpy(output, record, recordSize);
        return success;
    };

    const QList<Battery> present = batteries();
    if (present.isEmpty())
        return errorNotPermitted; // the battery went away under an open client

    // A key exists where every present battery has it.
    const std::uint32_t key = readU32(record, offsetKey);
    const auto info = keyInfo(key, present.constFirst());
    for (const Battery& b : present) {
        if (!info || !keyInfo(key, b))
            return answer(resultKeyNotFound);
    }

    switch (record[offsetCommand]) {
    case commandKeyInfo:
        writeU32(record, offsetDataSize, info->size);
        writeU32(record, offsetDataType, info->type);
        record[offsetDataAttributes] = attributesReadWrite;
        return answer(resultSuccess);
    case commandRead:
        if (readU32(record, offsetDataSize) != info->size)
            return answer(resultBadSize);
        std::memset(record + offsetBytes, 0, bytesCapacity);
        // Held only when held on every battery: one left charging is no hold.
        if (std::all_of(present.begin(), present.end(), [key](const Battery& b) { return isSet(key, b); }))
            record[offsetBytes] = setValue(key);
        return answer(resultSuccess);
    case commandWrite: {
        if (readU32(record, offsetDataSize) != info->size)
            return answer(resultBadSize);
        const bool on = anyNonZero(record + offsetBytes, info->size);
        bool written = true;
        for (const Battery& b : present)
            written = writeKey(key, b, on) && written;
        // What the operation read no longer holds.
        m_operationBatteries.reset();
        return answer(written ? resultSuccess : resultWriteFailed);
    }
    default:
        return answer(resultBadCommand);
    }
}

} // namespace kestrune
