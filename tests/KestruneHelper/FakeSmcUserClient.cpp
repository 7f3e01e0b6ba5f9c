#include "tests/KestruneHelper/FakeSmcUserClient.h"

namespace kestrune::test {

namespace {
QString keyName(const std::uint8_t* record)
{
    std::uint32_t code;
    std::memcpy(&code, record, 4);
    const char text[4] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
    return QString::fromLatin1(text, 4);
}
} // namespace

QList<int> FakeSmcUserClient::State::commandsFor(const QString& key) const
{
    QList<int> commands;
    for (const QByteArray& r : records) {
        if (keyName(reinterpret_cast<const std::uint8_t*>(r.constData())) == key)
            commands << static_cast<std::uint8_t>(r[offsetCommand]);
    }
    return commands;
}

QList<QString> FakeSmcUserClient::State::writtenKeys() const
{
    QList<QString> keys;
    for (const QByteArray& r : records) {
        if (static_cast<std::uint8_t>(r[offsetCommand]) == commandWrite)
            keys << keyName(reinterpret_cast<const std::uint8_t*>(r.constData()));
    }
    return keys;
}

std::int32_t FakeSmcUserClient::callStructMethod(std::uint32_t selector, const std::uint8_t* input,
                                                 std::size_t inputSize, std::uint8_t* output,
                                                 std::size_t* outputSize)
{
    if (selector != structSelector || inputSize != recordSize || *outputSize != recordSize)
        return errorBadArgument;
    m_state->records << QByteArray(reinterpret_cast<const char*>(input), recordSize);
    if (m_state->kernelReturn != 0)
        return m_state->kernelReturn;

    std::memcpy(output, input, recordSize);
    const QString name = keyName(input);
    const auto it = m_state->keys.find(name);
    if (it == m_state->keys.end()) {
        output[offsetResult] = resultKeyNotFound;
        return success;
    }
    Key& key = it.value();
    const std::uint32_t size = m_state->reportedSizeOverride ? m_state->reportedSizeOverride
                                                             : static_cast<std::uint32_t>(key.bytes.size());
    switch (input[offsetCommand]) {
    case commandKeyInfo:
        std::memcpy(output + offsetDataSize, &size, 4);
        output[offsetDataType] = 0x20;
        output[offsetDataAttributes] = 0xd4;
        break;
    case commandRead:
        if (key.readResult) {
            output[offsetResult] = key.readResult;
            break;
        }
        std::memcpy(output + offsetBytes, key.bytes.constData(),
                    std::min<std::size_t>(key.bytes.size(), bytesCapacity));
        break;
    case commandWrite:
        if (key.writeResult) {
            output[offsetResult] = key.writeResult;
            break;
        }
        key.bytes = QByteArray(reinterpret_cast<const char*>(input + offsetBytes),
                               std::min<std::size_t>(size, bytesCapacity));
        break;
    default:
        output[offsetResult] = 0x81;
    }
    *outputSize = recordSize;
    return success;
}

} // namespace kestrune::test
