#pragma once

#include <QCheckBox>

namespace kestrune {

class ChargingSettings;

// A switch bound to one on/off setting: the user's clicks write the setting, and the switch
// follows the setting when it changes anywhere else without writing it back.
class SettingToggle : public QCheckBox {
    Q_OBJECT

public:
    using Getter = bool (ChargingSettings::*)() const;
    using Setter = void (ChargingSettings::*)(bool);
    using Changed = void (ChargingSettings::*)(bool);

    SettingToggle(const QString& text, ChargingSettings& settings, Getter get, Setter set, Changed changed,
        QWidget* parent = nullptr);
};

} // namespace kestrune
