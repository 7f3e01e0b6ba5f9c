#include "Platform/Smc/SysfsSmcUserClient.h"

#include "Platform/Sysfs/ChargeBehaviour.h"
#include "Platform/Sysfs/PowerSupplyTree.h"

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

} // namespace

SysfsSmcUserClient::SysfsSmcUserClient(QString sysfsRoot)
    : m_root(std::move(sysfsRoot))
{
}

std::optional<SysfsSmcUserClient::Battery> SysfsSmcUserClient::battery()
{
    const auto supply = PowerSupplyTree(m_root).systemBattery();
    if (!supply)
        return std::nullopt;
    Battery b;
    b.path = supply->path;
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
    return b;
}

std::optional<SysfsSmcUserClient::KeyInfo> SysfsSmcUserClient::keyInfo(std::uint32_t key,
                                                                        const Battery& b) const
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

void SysfsSmcUserClient::readKey(std::uint32_t key, const Battery& b, std::uint8_t* bytes) const
{
    switch (key) {
    case keyCH0B:
    case keyCH0C:
        bytes[0] = b.active == QLatin1String(ChargeBehaviour::inhibitCharge) ? 0x02 : 0x00;
        break;
    case keyCHTE:
        bytes[0] = b.active == QLatin1String(ChargeBehaviour::inhibitCharge) ? 0x01 : 0x00;
        break;
    case keyCHIE:
        bytes[0] = b.active == QLatin1String(ChargeBehaviour::forceDischarge) ? 0x08 : 0x00;
        break;
    case keyCH0I:
        bytes[0] = b.active == QLatin1String(ChargeBehaviour::forceDischarge) ? 0x01 : 0x00;
        break;
    case keyCHWA:
        bytes[0] = b.endThreshold && *b.endThreshold <= 80 ? 0x01 : 0x00;
        break;
    default:
        break;
    }
}

bool SysfsSmcUserClient::setBehaviour(const Battery& b, const QString& mode)
{
    if (b.active == mode)
        return true;
    return PowerSupplyTree::write(b.path, behaviourAttribute, mode);
}

bool SysfsSmcUserClient::writeKey(std::uint32_t key, const Battery& b, const std::uint8_t* bytes,
                                  std::uint32_t size)
{
    const bool on = anyNonZero(bytes, size);
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

    const auto b = battery();
    if (!b)
        return errorNotPermitted; // the battery went away under an open client

    const std::uint32_t key = readU32(record, offsetKey);
    const auto info = keyInfo(key, *b);
    if (!info)
        return answer(resultKeyNotFound);

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
        readKey(key, *b, record + offsetBytes);
        return answer(resultSuccess);
    case commandWrite:
        if (readU32(record, offsetDataSize) != info->size)
            return answer(resultBadSize);
        return answer(writeKey(key, *b, record + offsetBytes, info->size) ? resultSuccess : resultWriteFailed);
    default:
        return answer(resultBadCommand);
    }
}

} // namespace kestrune
