#pragma once

#include "KestruneHelper/SMCError.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kestrune {

class SmcUserClient;

// The daemon's only path to the system management controller: key information, key reads
// and key writes, each through one call with the controller's 80-byte parameter record.
// Not thread-safe; the daemon uses it from its SMC queue only.
class SMCConnection {
public:
    struct SMCKeyInfoData {
        std::uint32_t dataSize = 0;
        std::uint32_t dataType = 0;
        std::uint8_t dataAttributes = 0;
    };

    // The controller's parameter record, byte for byte (native byte order).
    struct SMCParamStruct {
        std::uint32_t key;
        std::uint8_t versionBytes[6];
        std::uint8_t padding0[2];
        std::uint8_t limitBytes[16];
        std::uint32_t dataSize;
        std::uint32_t dataType;
        std::uint8_t dataAttributes;
        std::uint8_t padding1[3];
        std::uint8_t result;
        std::uint8_t status;
        std::uint8_t command;
        std::uint8_t padding2;
        std::uint32_t data32;
        std::uint8_t bytes[32];
    };

    // Makes the calls made during its life one operation of the controller's client, which
    // may then read the device once for all of them.
    class Operation {
    public:
        explicit Operation(SMCConnection& connection);
        ~Operation();
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;

    private:
        SMCConnection& m_connection;
    };

    // Finds the controller on the machine under `sysfsRoot` and opens a user client.
    // Throws serviceNotFound or openFailed.
    explicit SMCConnection(const QString& sysfsRoot);
    // Works through a user client that is already open.
    explicit SMCConnection(std::unique_ptr<SmcUserClient> client);
    ~SMCConnection();

    SMCConnection(const SMCConnection&) = delete;
    SMCConnection& operator=(const SMCConnection&) = delete;

    // The key's four ASCII characters, first byte most significant ("CH0B" -> 0x43483042).
    // Throws keyNotFound for anything but four characters.
    static std::uint32_t fourCC(const QString& key);

    SMCParamStruct call(const SMCParamStruct& input);
    SMCKeyInfoData keyInfo(const QString& key);
    QByteArray readBytes(const QString& key);
    void writeBytes(const QString& key, const QByteArray& bytes);

private:
    void checkResult(const SMCParamStruct& output, const QString& key) const;

    std::unique_ptr<SmcUserClient> m_client;
    int m_operationDepth = 0;
};

static_assert(sizeof(SMCConnection::SMCParamStruct) == 80);
static_assert(offsetof(SMCConnection::SMCParamStruct, versionBytes) == 4);
static_assert(offsetof(SMCConnection::SMCParamStruct, limitBytes) == 12);
static_assert(offsetof(SMCConnection::SMCParamStruct, dataSize) == 28);
static_assert(offsetof(SMCConnection::SMCParamStruct, dataType) == 32);
static_assert(offsetof(SMCConnection::SMCParamStruct, dataAttributes) == 36);
static_assert(offsetof(SMCConnection::SMCParamStruct, result) == 40);
static_assert(offsetof(SMCConnection::SMCParamStruct, status) == 41);
static_assert(offsetof(SMCConnection::SMCParamStruct, command) == 42);
static_assert(offsetof(SMCConnection::SMCParamStruct, data32) == 44);
static_assert(offsetof(SMCConnection::SMCParamStruct, bytes) == 48);

} // namespace kestrune
