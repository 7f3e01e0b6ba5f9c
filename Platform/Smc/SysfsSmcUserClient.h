#pragma once

#include "Platform/Smc/SmcUserClient.h"

#include <QHash>
#include <QStringList>

#include <optional>

namespace kestrune {

// The controller's charging keys, answered from the battery's sysfs attributes:
//   "CH0B", "CH0C" (1 byte), "CHTE" (4 bytes): charging inhibited <-> charge_behaviour
//       "inhibit-charge" / "auto"; they exist where the battery lists "inhibit-charge".
//   "CHIE", "CH0I" (1 byte): forced discharge <-> charge_behaviour "force-discharge"; they
//       exist where the battery lists "force-discharge".
//   "CHWA" (1 byte): the firmware 80 % limit <-> charge_control_end_threshold 80 / 100; it
//       exists where the battery has that attribute.
// Any other key, or a key whose attribute is missing, answers "key not found" (0x84).
//
// A machine with two batteries charges both: a key exists only where every present battery
// has its attribute (and mode), a write goes to every one of them, and a key reads as set
// only when it is set on all of them. The batteries are looked up on every operation, so a
// battery the kernel renumbers (BAT0 becoming BAT1 after a driver reload) is found again.
class SysfsSmcUserClient final : public SmcUserClient {
public:
    static constexpr std::uint8_t resultWriteFailed = 0x82;
    static constexpr std::uint8_t resultBadCommand = 0x81;
    static constexpr std::uint8_t resultBadSize = 0x85;

    explicit SysfsSmcUserClient(QString sysfsRoot);

    std::int32_t callStructMethod(std::uint32_t selector, const std::uint8_t* input,
                                  std::size_t inputSize, std::uint8_t* output,
                                  std::size_t* outputSize) override;
    void beginOperation() override;
    void endOperation() override;

private:
    struct KeyInfo {
        std::uint32_t size;
        std::uint32_t type;
    };
    struct Battery {
        QString path;
        QStringList modes;
        QString active;
        bool hasBehaviour = false;
        std::optional<qint64> endThreshold;
    };

    // The present system batteries as they are now, or as the operation first read them.
    QList<Battery> batteries();
    QList<Battery> readBatteries();
    static std::optional<KeyInfo> keyInfo(std::uint32_t key, const Battery& battery);
    static bool isSet(std::uint32_t key, const Battery& battery);
    static bool writeKey(std::uint32_t key, const Battery& battery, bool on);
    static bool setBehaviour(const Battery& battery, const QString& mode);

    QString m_root;
    bool m_inOperation = false;
    // What the current operation read; dropped at its end and after each write.
    std::optional<QList<Battery>> m_operationBatteries;
    // A plain (test or simulated) file that was just written holds only the bare mode;
    // the supported list seen earlier is remembered per battery.
    QHash<QString, QStringList> m_knownModes;
};

} // namespace kestrune
