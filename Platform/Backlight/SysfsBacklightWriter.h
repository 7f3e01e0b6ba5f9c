#pragma once

#include "Platform/Backlight/BacklightWriter.h"

namespace kestrune {

// Writes <root>/class/<subsystem>/<name>/brightness directly: the simulated machine and
// test trees, where the files belong to the user.
class SysfsBacklightWriter final : public BacklightWriter {
public:
    explicit SysfsBacklightWriter(QString sysfsRoot);

    bool canWrite() const override { return true; }
    bool write(const QString& subsystem, const QString& name, quint32 value) override;

private:
    QString m_root;
};

} // namespace kestrune
