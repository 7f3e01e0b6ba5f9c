#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace kestrune {

// The power supplies under <sysfs root>/class/power_supply, and plain attribute access.
class PowerSupplyTree {
public:
    struct Supply {
        QString name;
        QString path;  // the supply's folder
        QString type;  // "Battery", "Mains", "USB", ...
        QString scope; // of a battery: "System", "Device" or empty
    };

    explicit PowerSupplyTree(QString sysfsRoot);

    QString classPath() const;
    QList<Supply> supplies() const; // sorted by name

    // The batteries that power the machine and sit in their bays, in name order. Peripheral
    // batteries (scope "Device") are not among them, nor a battery whose `present` is 0: a
    // laptop keeps the supply of an empty bay, which may come before a battery that is there.
    QList<Supply> systemBatteries() const;
    // The first of them: the battery the machine's readings are about.
    std::optional<Supply> systemBattery() const;
    // Mains and USB supplies.
    QList<Supply> externalSupplies() const;

    // The attribute's text without the trailing newline; nothing when it cannot be read.
    static std::optional<QString> read(const QString& supplyPath, const QString& attribute);
    // A whole decimal number; nothing when absent or not a number.
    static std::optional<qint64> readInteger(const QString& supplyPath, const QString& attribute);
    static bool exists(const QString& supplyPath, const QString& attribute);
    // Writes the value as the kernel expects it (one write of the whole text). On failure,
    // `error` (when given) receives the reason.
    static bool write(const QString& supplyPath, const QString& attribute, const QString& value,
                      QString* error = nullptr);

private:
    QString m_root;
};

} // namespace kestrune
