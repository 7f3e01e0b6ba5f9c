#pragma once

#include "Platform/Smc/SmcUserClient.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <cstring>
#include <memory>

namespace kestrune::test {

// An in-memory controller with a table of keys, recording every record it is handed.
class FakeSmcUserClient final : public SmcUserClient {
public:
    struct Key {
        QByteArray bytes;          // the key's value; its size is the key's size
        std::uint8_t writeResult = 0; // non-zero: writes fail with this result byte
        std::uint8_t readResult = 0;
    };
    struct State {
        QMap<QString, Key> keys;
        QList<QByteArray> records; // every input record, in order
        std::int32_t kernelReturn = 0;
        std::uint32_t reportedSizeOverride = 0; // non-zero: key info reports this size

        // The commands issued for a key, e.g. {9, 5} for a read.
        QList<int> commandsFor(const QString& key) const;
        QList<QString> writtenKeys() const;
    };

    explicit FakeSmcUserClient(std::shared_ptr<State> state)
        : m_state(std::move(state))
    {
    }

    std::int32_t callStructMethod(std::uint32_t selector, const std::uint8_t* input, std::size_t inputSize,
                                  std::uint8_t* output, std::size_t* outputSize) override;

private:
    std::shared_ptr<State> m_state;
};

} // namespace kestrune::test
