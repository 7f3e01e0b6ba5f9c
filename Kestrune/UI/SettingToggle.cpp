#include "Kestrune/UI/SettingToggle.h"

#include "Kestrune/Storage/ChargingSettings.h"

#include <QSignalBlocker>

namespace kestrune {

SettingToggle::SettingToggle(
    const QString& text, ChargingSettings& settings, Getter get, Setter set, Changed changed, QWidget* parent)
    : QCheckBox(text, parent)
{
    setChecked((settings.*get)());
    connect(this, &QCheckBox::toggled, &settings, set);
    connect(&settings, changed, this, [this](bool value) {
        const QSignalBlocker blocker(this);
        setChecked(value);
    });
}

} // namespace kestrune
