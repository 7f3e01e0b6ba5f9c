#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kestrune {

// A user client of the system management controller: one structure call that takes and
// returns an 80-byte parameter record. This is the kernel-facing side of that record; the
// daemon builds and reads it.
class SmcUserClient {
public:
    // Kernel return codes (the call itself failing, as opposed to the SMC's result byte).
    static constexpr std::int32_t success = 0;
    static constexpr std::int32_t errorGeneral = static_cast<std::int32_t>(0xe00002bc);
    static constexpr std::int32_t errorBadArgument = static_cast<std::int32_t>(0xe00002c2);
    static constexpr std::int32_t errorNotPermitted = static_cast<std::int32_t>(0xe00002e2);
    static constexpr std::int32_t errorUnsupported = static_cast<std::int32_t>(0xe00002c7);

    // The only structure method: selector 2 with a record in and a record out.
    static constexpr std::uint32_t structSelector = 2;
    static constexpr std::size_t recordSize = 80;

    // Record layout, as the controller's interface fixes it (native byte order).
    static constexpr std::size_t offsetKey = 0;
    static constexpr std::size_t offsetDataSize = 28;
    static constexpr std::size_t offsetDataType = 32;
    static constexpr std::size_t offsetDataAttributes = 36;
    static constexpr std::size_t offsetResult = 40;
    static constexpr std::size_t offsetCommand = 42;
    static constexpr std::size_t offsetBytes = 48;
    static constexpr std::size_t bytesCapacity = 32;

    static constexpr std::uint8_t commandKeyInfo = 9;
    static constexpr std::uint8_t commandRead = 5;
    static constexpr std::uint8_t commandWrite = 6;

    static constexpr std::uint8_t resultSuccess = 0;
    static constexpr std::uint8_t resultKeyNotFound = 0x84;

    virtual ~SmcUserClient() = default;

    // Runs the structure method. Returns a kernel return code; on success `*outputSize`
    // holds the size of the record written to `output`.
    virtual std::int32_t callStructMethod(std::uint32_t selector, const std::uint8_t* input,
                                          std::size_t inputSize, std::uint8_t* output,
                                          std::size_t* outputSize) = 0;

    // The calls between these two are one operation of the daemon (a state read, a reset):
    // the client may read the device once for all of them, and then sees only the
    // operation's own writes. Outside an operation every call reads the device afresh.
    virtual void beginOperation() {}
    virtual void endOperation() {}
};

} // namespace kestrune
