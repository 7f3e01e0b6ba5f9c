#include "KestruneHelper/SMCConnection.h"

#include "Platform/Smc/SmcService.h"
#include "Platform/Smc/SmcUserClient.h"

#include <cstring>

namespace kestrune {

namespace {
constexpr std::uint8_t commandKeyInfo = SmcUserClient::commandKeyInfo;
constexpr std::uint8_t commandRead = SmcUserClient::commandRead;
constexpr std::uint8_t commandWrite = SmcUserClient::commandWrite;
constexpr std::uint8_t resultKeyNotFound = SmcUserClient::resultKeyNotFound;

static_assert(sizeof(SMCConnection::SMCParamStruct) == SmcUserClient::recordSize);
static_assert(offsetof(SMCConnection::SMCParamStruct, key) == SmcUserClient::offsetKey);
static_assert(offsetof(SMCConnection::SMCParamStruct, dataSize) == SmcUserClient::offsetDataSize);
static_assert(offsetof(SMCConnection::SMCParamStruct, dataType) == SmcUserClient::offsetDataType);
static_assert(offsetof(SMCConnection::SMCParamStruct, dataAttributes) == SmcUserClient::offsetDataAttributes);
static_assert(offsetof(SMCConnection::SMCParamStruct, result) == SmcUserClient::offsetResult);
static_assert(offsetof(SMCConnection::SMCParamStruct, command) == SmcUserClient::offsetCommand);
static_assert(offsetof(SMCConnection::SMCParamStruct, bytes) == SmcUserClient::offsetBytes);

SMCConnection::SMCParamStruct zeroed()
{
    SMCConnection::SMCParamStruct record;
    std::memset(&record, 0, sizeof record);
    return record;
}
} // namespace

SMCConnection::SMCConnection(const QString& sysfsRoot)
{
    if (SmcService::find(sysfsRoot) == SmcService::Lookup::NotFound)
        throw SMCError::serviceNotFound();
    const std::int32_t code = SmcService::open(sysfsRoot, m_client);
    if (code != 0 || !m_client)
        throw SMCError::openFailed(code);
}

SMCConnection::SMCConnection(std::unique_ptr<SmcUserClient> client)
    : m_client(std::move(client))
{
}

SMCConnection::~SMCConnection() = default;

SMCConnection::Operation::Operation(SMCConnection& connection)
    : m_connection(connection)
{
    if (m_connection.m_operationDepth++ == 0)
        m_connection.m_client->beginOperation();
}

SMCConnection::Operation::~Operation()
{
    if (--m_connection.m_operationDepth == 0)
        m_connection.m_client->endOperation();
}

std::uint32_t SMCConnection::fourCC(const QString& key)
{
    const QByteArray bytes = key.toUtf8();
    if (bytes.size() != 4)
        throw SMCError::keyNotFound(key);
    std::uint32_t value = 0;
    for (char c : bytes)
        value = value * 256 + static_cast<std::uint8_t>(c);
    return value;
}

SMCConnection::SMCParamStruct SMCConnection::call(const SMCParamStruct& input)
{
    std::uint8_t in[sizeof(SMCParamStruct)];
    std::uint8_t out[sizeof(SMCParamStruct)];
    std::memcpy(in, &input, sizeof in);
    std::memset(out, 0, sizeof out);
    std::size_t outSize = sizeof out;
    const std::int32_t code = m_client->callStructMethod(SmcUserClient::structSelector, in, sizeof in, out, &outSize);
    if (code != 0)
        throw SMCError::callFailed(code);
    SMCParamStruct output;
    std::memcpy(&output, out, sizeof output);
    return output;
}

void SMCConnection::checkResult(const SMCParamStruct& output, const QString& key) const
{
    if (output.result == 0)
        return;
    if (output.result == resultKeyNotFound)
        throw SMCError::keyNotFound(key);
    throw SMCError::smcResult(output.result);
}

SMCConnection::SMCKeyInfoData SMCConnection::keyInfo(const QString& key)
{
    SMCParamStruct input = zeroed();
    input.key = fourCC(key);
    input.command = commandKeyInfo;
    const SMCParamStruct output = call(input);
    checkResult(output, key);
    return {output.dataSize, output.dataType, output.dataAttributes};
}

QByteArray SMCConnection::readBytes(const QString& key)
{
    const SMCKeyInfoData info = keyInfo(key);
    SMCParamStruct input = zeroed();
    input.key = fourCC(key);
    input.dataSize = info.dataSize;
    input.command = commandRead;
    const SMCParamStruct output = call(input);
    checkResult(output, key);
    const std::size_t count = std::min<std::size_t>(info.dataSize, sizeof output.bytes);
    return QByteArray(reinterpret_cast<const char*>(output.bytes), static_cast<qsizetype>(count));
}

void SMCConnection::writeBytes(const QString& key, const QByteArray& bytes)
{
    const SMCKeyInfoData info = keyInfo(key);
    if (static_cast<qint64>(bytes.size()) != static_cast<qint64>(info.dataSize))
        throw SMCError::unexpectedDataSize(info.dataSize, bytes.size());
    SMCParamStruct input = zeroed();
    if (static_cast<std::size_t>(bytes.size()) > sizeof input.bytes)
        throw SMCError::dataTooLarge(bytes.size());
    input.key = fourCC(key);
    input.dataSize = info.dataSize;
    input.command = commandWrite;
    std::memcpy(input.bytes, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    checkResult(call(input), key);
}

} // namespace kestrune
