#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace kestrune {

class BacklightWriter;
class KeyboardBacklight;

// Caps the main display's brightness and turns the keyboard backlight off, remembering what
// it replaced so that it can put it back, unless the user has changed it in the meantime.
//
// Where the machine has no backlight device, both brightness functions are absent and the
// dimming actions are never offered; without a keyboard LED the keyboard fields are empty
// and its operations do nothing. Everything is synchronous, on the main thread.
class DisplayControl {
public:
    // The brightness entry points take the display id and answer 0 on success.
    using GetBrightness = std::function<qint32(quint32 display, float* value)>;
    using SetBrightness = std::function<qint32(quint32 display, float value)>;

    // Over the machine's own sysfs root.
    DisplayControl();
    // Over `sysfsRoot`, writing through `writer`.
    DisplayControl(const QString& sysfsRoot, std::shared_ptr<BacklightWriter> writer);
    ~DisplayControl();

    DisplayControl(const DisplayControl&) = delete;
    DisplayControl& operator=(const DisplayControl&) = delete;

    // The display every call acts on.
    static constexpr quint32 mainDisplayID = 0;

    GetBrightness getBrightnessFn;
    SetBrightness setBrightnessFn;
    std::optional<float> savedBrightness;   // the user's brightness before the first cap
    std::optional<float> lastSetBrightness; // the brightness this class last set
    std::shared_ptr<KeyboardBacklight> kbClient;
    std::optional<quint64> kbID;
    std::optional<float> savedKeyboardBrightness;

    // True when the brightness was lowered to `cap`.
    bool applyBrightnessCap(float cap);
    void restoreBrightness();
    void turnOffKeyboardBacklight();
    void restoreKeyboardBacklight();

    // The main display's brightness, when it can be read.
    std::optional<float> currentBrightness() const;
    // Whether the user has raised the brightness clearly above what this class last set.
    bool userRaisedBrightness() const;
};

} // namespace kestrune
