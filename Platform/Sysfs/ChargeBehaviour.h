#pragma once

#include <QString>
#include <QStringList>

namespace kestrune {

// The value of a battery's `charge_behaviour` attribute. The kernel lists the supported
// modes with the active one in brackets ("[auto] inhibit-charge force-discharge"); a plain
// file that was just written holds the bare mode ("inhibit-charge").
struct ChargeBehaviour {
    static constexpr auto automatic = "auto";
    static constexpr auto inhibitCharge = "inhibit-charge";
    static constexpr auto forceDischarge = "force-discharge";

    QStringList modes;  // supported modes; for a bare value only that mode
    QString active;     // empty when the text names none
    bool listed = false; // true when the text was the kernel's bracketed list

    static ChargeBehaviour parse(const QString& text);
    // The kernel's form: every mode, the active one in brackets.
    QString toKernelText() const;
    bool supports(const QString& mode) const { return modes.contains(mode); }
};

} // namespace kestrune
