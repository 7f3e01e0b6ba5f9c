#pragma once

#include "Platform/Backlight/BacklightWriter.h"

#include <QString>

#include <memory>
#include <optional>

namespace kestrune {

// The main display's brightness as a fraction 0…1, over <root>/class/backlight.
//
// Where several interfaces drive one panel, the kernel asks user space to prefer "firmware"
// to "platform" to "raw" (the device's `type`); the main display is the best ranked device,
// then the first by name, chosen afresh at every call so that a panel that appears or goes
// is followed. Only a device with a whole `max_brightness` above 0 counts. The display id of
// the calls is accepted for the callers' sake and ignored: there is one main display.
class DisplayBrightness {
public:
    static constexpr int success = 0;
    static constexpr int failure = 1;

    DisplayBrightness(QString sysfsRoot, std::shared_ptr<BacklightWriter> writer);

    // The folder of the main display's backlight; nothing when there is none.
    std::optional<QString> mainDevice() const;

    // `success` and the brightness / max_brightness, clamped to 0…1; `failure` otherwise.
    int get(quint32 display, float* value) const;
    // Sets value × max steps rounded down, but at least 1: some panels switch off at 0.
    // Rounding down keeps a cap from being exceeded, so reading it back never looks like the
    // user raising the brightness; a value that get() read sets exactly the step it read.
    int set(quint32 display, float value);

private:
    QString m_root;
    std::shared_ptr<BacklightWriter> m_writer;
};

} // namespace kestrune
