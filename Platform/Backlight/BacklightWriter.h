#pragma once

#include <QString>

#include <memory>

namespace kestrune {

// Sets the brightness of a backlight or LED device, in the device's own raw steps.
class BacklightWriter {
public:
    virtual ~BacklightWriter() = default;

    // Whether a write can reach the device at all.
    virtual bool canWrite() const = 0;
    // Sets device `name` of the class `subsystem` ("backlight" or "leds") to `value`. False
    // when the write did not happen.
    virtual bool write(const QString& subsystem, const QString& name, quint32 value) = 0;

    // The writer for a sysfs root: logind on the real /sys (writing there needs root, logind
    // does it for the user's session), the files themselves under any other root.
    static std::shared_ptr<BacklightWriter> forRoot(const QString& sysfsRoot);
};

} // namespace kestrune
