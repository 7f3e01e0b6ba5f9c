#include "Kestrune/PowerSaver/DisplayControl.h"

#include "Platform/Backlight/BacklightWriter.h"
#include "Platform/Backlight/DisplayBrightness.h"
#include "Platform/Backlight/KeyboardBacklight.h"
#include "Platform/Environment/PlatformEnvironment.h"

#include <algorithm>

namespace kestrune {

namespace {

// Lower than this and some panels are unreadable.
constexpr float minimumBrightness = 0.05f;
// How far above a cap the screen may be before capping is worth it.
constexpr float capMargin = 0.01f;
// How far above what we set the user must go for it to count as their own choice.
constexpr float userRaiseMargin = 0.06f;
// A keyboard backlight above this counts as switched on again by the user.
constexpr float keyboardOnAbove = 0.05f;

float clampedBrightness(float value)
{
    return std::clamp(value, minimumBrightness, 1.0f);
}

} // namespace

DisplayControl::DisplayControl()
    : DisplayControl(PlatformEnvironment::sysfsRoot(), BacklightWriter::forRoot(PlatformEnvironment::sysfsRoot()))
{
}

DisplayControl::DisplayControl(const QString& sysfsRoot, std::shared_ptr<BacklightWriter> writer)
{
    auto display = std::make_shared<DisplayBrightness>(sysfsRoot, writer);
    if (display->mainDevice()) {
        getBrightnessFn = [display](quint32 id, float* value) { return display->get(id, value); };
        if (writer->canWrite())
            setBrightnessFn = [display](quint32 id, float value) { return display->set(id, value); };
    }

    auto keyboard = std::make_shared<KeyboardBacklight>(sysfsRoot, writer);
    const QList<quint64> ids = keyboard->backlightIDs();
    if (!ids.isEmpty()) {
        kbClient = keyboard;
        kbID = ids.first();
    }
}

DisplayControl::~DisplayControl() = default;

std::optional<float> DisplayControl::currentBrightness() const
{
    if (!getBrightnessFn)
        return std::nullopt;
    float value = 0;
    if (getBrightnessFn(mainDisplayID, &value) != 0)
        return std::nullopt;
    return value;
}

bool DisplayControl::userRaisedBrightness() const
{
    if (!lastSetBrightness)
        return false;
    const auto current = currentBrightness();
    return current && *lastSetBrightness + userRaiseMargin < *current;
}

bool DisplayControl::applyBrightnessCap(float cap)
{
    const auto current = currentBrightness();
    if (!current || !(cap + capMargin < *current))
        return false;
    if (!savedBrightness)
        savedBrightness = *current;
    if (!setBrightnessFn)
        return false;
    const float target = clampedBrightness(cap);
    if (setBrightnessFn(mainDisplayID, target) != 0)
        return false;
    lastSetBrightness = target;
    return true;
}

void DisplayControl::restoreBrightness()
{
    if (savedBrightness) {
        if (!userRaisedBrightness() && setBrightnessFn)
            setBrightnessFn(mainDisplayID, clampedBrightness(*savedBrightness));
    }
    savedBrightness.reset();
    lastSetBrightness.reset();
}

void DisplayControl::turnOffKeyboardBacklight()
{
    if (!kbClient || !kbID)
        return;
    if (!savedKeyboardBrightness)
        savedKeyboardBrightness = kbClient->brightness(*kbID);
    kbClient->setBrightness(0, *kbID);
}

void DisplayControl::restoreKeyboardBacklight()
{
    if (savedKeyboardBrightness && *savedKeyboardBrightness > 0 && kbClient && kbID) {
        const auto current = kbClient->brightness(*kbID);
        const bool userTurnedOn = current && *current > keyboardOnAbove;
        if (!userTurnedOn)
            kbClient->setBrightness(*savedKeyboardBrightness, *kbID);
    }
    savedKeyboardBrightness.reset();
}

} // namespace kestrune
