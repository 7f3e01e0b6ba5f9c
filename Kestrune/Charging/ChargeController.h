#pragma once

#include "Foundation/LocalCalendar.h"
#include "Kestrune/Battery/BatterySnapshot.h"
#include "Shared/SMCChargingState.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

namespace kestrune {

class AdaptiveEngine;
class ChargingSettings;
class HelperClient;

// Keeps the battery at the user's charge limit.
//
// Each evaluate() is one decision pass over a battery reading: it works out the limit in force
// (the user's, or 100 % for a just-in-time or a requested full charge), decides with hysteresis
// whether charging must be held, and writes through the daemon only what differs from the state
// it last applied. It also watches whether its writes took effect: when the battery contradicts
// the applied state on two passes in a row it forgets what it applied and writes everything
// again, and when that keeps happening (or the firmware's own 80 % limit is on above an 80 %
// limit) it warns once per stretch on external power.
//
// Everything runs on the main thread. A pass suspends only while the daemon answers a write;
// a pass that starts meanwhile returns at once without any effect.
class ChargeController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool topUpActive READ topUpActive WRITE setTopUpActive NOTIFY topUpActiveChanged)
    Q_PROPERTY(int effectiveLimit READ effectiveLimit NOTIFY effectiveLimitChanged)
    Q_PROPERTY(bool jitActive READ jitActive NOTIFY jitActiveChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)
    Q_PROPERTY(bool isHolding READ isHolding NOTIFY isHoldingChanged)
    Q_PROPERTY(bool isDischarging READ isDischarging NOTIFY isDischargingChanged)

public:
    // What the controller tells the application shell, which turns it into a notification.
    struct Event {
        enum class Kind {
            StartedHolding,        // `limit`: the limit in force
            HelperError,           // `message`: what failed
            ExternalInterference,  // `message`: the advice for the user
            StartedCharging,
        };

        Kind kind = Kind::StartedCharging;
        int limit = 0;
        QString message;

        static Event startedHolding(int limit) { return {Kind::StartedHolding, limit, {}}; }
        static Event helperError(QString message) { return {Kind::HelperError, 0, std::move(message)}; }
        static Event externalInterference(QString message)
        {
            return {Kind::ExternalInterference, 0, std::move(message)};
        }
        static Event startedCharging() { return {Kind::StartedCharging, 0, {}}; }

        bool operator==(const Event&) const = default;
    };

    // Repairs older than this no longer count towards the interference warning.
    static constexpr qint64 repairWindowSeconds = 900;
    // At or below this charge, charging is always allowed.
    static constexpr int lowBatteryPercent = 15;

    // The collaborators are shared and must outlive the controller. The just-in-time target
    // is shown in the calendar's zone (by default the system's, as it is at each pass).
    ChargeController(ChargingSettings& settings, HelperClient& helper, AdaptiveEngine& adaptive,
        LocalCalendar calendar = LocalCalendar(), QObject* parent = nullptr);
    ~ChargeController() override;

    bool topUpActive() const { return m_topUpActive; }
    // The user asks for one charge to 100 % (true) or cancels it (false); the controller ends
    // it itself once the battery is full or on battery power.
    void setTopUpActive(bool value);
    int effectiveLimit() const { return m_effectiveLimit; }
    bool jitActive() const { return m_jitActive; }
    QString statusText() const { return m_statusText; }
    bool isHolding() const { return m_isHolding; }
    bool isDischarging() const { return m_isDischarging; }

    // Called synchronously, on the main thread, in the middle of a pass.
    std::function<void(const Event&)> onEvent;

    // One decision pass over `snapshot` at `now`. Never fails.
    QCoro::Task<> evaluate(BatterySnapshot snapshot, QDateTime now);
    // Takes the charging state the daemon reports as what is applied, so that the next pass
    // writes only what differs and judges the battery against what the hardware really holds.
    void reconcile(const SMCChargingState& state);
    // Forgets what was applied: the next pass writes everything again (after a wake, and when
    // the battery contradicts the applied state).
    void invalidateAppliedCache();

signals:
    void topUpActiveChanged(bool value);
    void effectiveLimitChanged(int value);
    void jitActiveChanged(bool value);
    void statusTextChanged(const QString& value);
    void isHoldingChanged(bool value);
    void isDischargingChanged(bool value);

private:
    // Writes what differs from the applied state; `chwa` absent leaves the 80 % key alone.
    // Answers whether the wanted inhibit state is in force afterwards: written now, or
    // already applied.
    QCoro::Task<bool> apply(bool inhibit, bool discharge, std::optional<bool> chwa);
    QCoro::Task<> applyDischarge(bool on);
    void notifyInterferenceOnce(const QString& text);
    void resetGuardState();
    // The limit in force and the reason the status line begins with.
    std::pair<int, QString> computeEffectiveLimit(int soc, const QDateTime& now);
    QString formatTime(const QDateTime& moment) const;
    void raise(const Event& event);

    void setEffectiveLimit(int value);
    void setJitActive(bool value);
    void setStatusText(const QString& value);
    void setIsHolding(bool value);
    void setIsDischarging(bool value);

    ChargingSettings& m_settings;
    HelperClient& m_helper;
    AdaptiveEngine& m_adaptive;
    LocalCalendar m_calendar;

    bool m_topUpActive = false;
    int m_effectiveLimit = 80;
    bool m_jitActive = false;
    QString m_statusText;
    bool m_isHolding = false;
    bool m_isDischarging = false;

    // The applied-state cache: what was last written successfully or read back; absent is
    // unknown.
    std::optional<bool> m_appliedInhibit;
    std::optional<bool> m_appliedDischarge;
    std::optional<bool> m_appliedCHWA;
    bool m_applying = false;
    bool m_holdLatched = false;
    std::optional<QDateTime> m_jitLatchedUnplug;
    int m_mismatchStreak = 0;
    QList<QDateTime> m_repairTimes;
    bool m_interferenceNotified = false;
};

} // namespace kestrune
