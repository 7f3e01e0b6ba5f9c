#pragma once

#include "Platform/Backlight/BacklightWriter.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace kestrune {

// The keyboard backlights: the kernel's <device>::kbd_backlight LEDs under <root>/class/leds,
// found once at construction and sorted by name. A backlight's id is its index in that list;
// brightness is a fraction 0…1 of the LED's max_brightness.
class KeyboardBacklight {
public:
    KeyboardBacklight(QString sysfsRoot, std::shared_ptr<BacklightWriter> writer);

    QList<quint64> backlightIDs() const;
    // Nothing when the id is unknown or the LED cannot be read.
    std::optional<float> brightness(quint64 id) const;
    // Sets the LED to the step nearest to `value`. False when nothing was written.
    bool setBrightness(float value, quint64 id);

private:
    std::optional<QString> devicePath(quint64 id) const;

    QString m_classPath;
    QStringList m_names;
    std::shared_ptr<BacklightWriter> m_writer;
};

} // namespace kestrune
