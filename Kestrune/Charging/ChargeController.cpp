#include "Kestrune/Charging/ChargeController.h"

#include "Foundation/Localized.h"
#include "Kestrune/Adaptive/AdaptiveEngine.h"
#include "Kestrune/Charging/ChargePolicy.h"
#include "Kestrune/Helper/HelperClient.h"
#include "Kestrune/Storage/ChargingSettings.h"
#include "Shared/HelperCommandResult.h"

#include <QLocale>
#include <QPointer>

#include <algorithm>

namespace kestrune {

namespace {

// Runs its function when the scope ends, however it ends (a coroutine frame included).
template <typename F>
class ScopeExit {
public:
    explicit ScopeExit(F f) : m_f(std::move(f)) {}
    ~ScopeExit() { m_f(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F m_f;
};

// A write counts only when the daemon answered and said it worked.
bool succeeded(const std::optional<HelperCommandResult>& result)
{
    return result && result->success;
}

} // namespace

ChargeController::ChargeController(ChargingSettings& settings, HelperClient& helper, AdaptiveEngine& adaptive,
    LocalCalendar calendar, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_helper(helper)
    , m_adaptive(adaptive)
    , m_calendar(std::move(calendar))
    , m_statusText(Localized::text("初期化中"))
{
}

ChargeController::~ChargeController() = default;

void ChargeController::setTopUpActive(bool value)
{
    if (value == m_topUpActive)
        return;
    m_topUpActive = value;
    emit topUpActiveChanged(value);
}

void ChargeController::setEffectiveLimit(int value)
{
    if (value == m_effectiveLimit)
        return;
    m_effectiveLimit = value;
    emit effectiveLimitChanged(value);
}

void ChargeController::setJitActive(bool value)
{
    if (value == m_jitActive)
        return;
    m_jitActive = value;
    emit jitActiveChanged(value);
}

void ChargeController::setStatusText(const QString& value)
{
    if (value == m_statusText)
        return;
    m_statusText = value;
    emit statusTextChanged(value);
}

void ChargeController::setIsHolding(bool value)
{
    if (value == m_isHolding)
        return;
    m_isHolding = value;
    emit isHoldingChanged(value);
}

void ChargeController::setIsDischarging(bool value)
{
    if (value == m_isDischarging)
        return;
    m_isDischarging = value;
    emit isDischargingChanged(value);
}

void ChargeController::raise(const Event& event)
{
    if (onEvent)
        onEvent(event);
}

QCoro::Task<> ChargeController::evaluate(BatterySnapshot snapshot, QDateTime now)
{
    if (m_applying)
        co_return;

    const std::optional<ChargingCapabilities> capabilities = m_helper.capabilities();
    if (!m_helper.isConnected() || !capabilities) {
        setStatusText(Localized::text("ヘルパー未接続(監視のみ)"));
        co_return;
    }
    const bool hasControl = capabilities->chargingControlMethod.has_value();
    if (!hasControl && !capabilities->hasAppleLimit80) {
        setStatusText(Localized::text("このMacでは充電制御キーが見つかりません(監視のみ)"));
        co_return;
    }

    QPointer<ChargeController> self(this);
    const int soc = snapshot.socPercent;
    // Where the firmware's 80 % limit is the only control, releasing control switches it off;
    // elsewhere it is never touched.
    const std::optional<bool> releasedCHWA = hasControl ? std::nullopt : std::optional<bool>(false);

    if (!m_settings.controlEnabled()) {
        resetGuardState();
        co_await apply(false, false, releasedCHWA);
        if (self)
            setStatusText(Localized::text("充電制御オフ"));
        co_return;
    }

    if (soc <= lowBatteryPercent) {
        m_holdLatched = false;
        m_mismatchStreak = 0;
        co_await apply(false, false, releasedCHWA);
        if (self)
            setStatusText(Localized::text("残量低下のため充電を許可"));
        co_return;
    }

    if (!snapshot.externalConnected) {
        setTopUpActive(false);
        setJitActive(false);
        resetGuardState();
        m_interferenceNotified = false;
        co_await apply(false, false, std::nullopt);
        if (self)
            setStatusText(Localized::text("バッテリー駆動中"));
        co_return;
    }

    const auto [limit, reason] = computeEffectiveLimit(soc, now);
    setEffectiveLimit(limit);
    // The requested full charge has ended; this pass still runs on the limit just computed.
    if (m_topUpActive && soc >= 100 && snapshot.fullyCharged)
        setTopUpActive(false);

    if (!hasControl) {
        // Hysteresis, mismatch checks and events do not apply: the firmware holds at 80 %.
        const bool limitOn = limit < 81;
        co_await apply(false, false, limitOn);
        if (self)
            setStatusText(limitOn ? Localized::text("80%リミット適用中(ハードウェア制限)") : reason);
        co_return;
    }

    bool hold = false;
    QString line;
    if (limit >= 100) {
        m_holdLatched = false;
        line = soc >= 100 ? Localized::text("満充電") : Localized::fmt("%@ — 充電中", reason);
    } else {
        const int band = std::max(m_settings.resumeDelta(), 1);
        if (soc >= limit)
            m_holdLatched = true;
        else
            m_holdLatched = m_holdLatched && soc > limit - band;
        hold = m_holdLatched;
        line = hold ? Localized::fmt("%@ — 充電停止中(%lld%%)", reason, qint64(soc))
                    : Localized::fmt("%@ — 充電中", reason);
    }

    // Does the battery agree with what was applied before this pass?
    if (!m_appliedInhibit) {
        m_mismatchStreak = 0;
    } else {
        const bool mismatch = *m_appliedInhibit
            ? snapshot.isCharging
            : !snapshot.isCharging && !snapshot.fullyCharged && soc < std::min(limit, 100);
        m_mismatchStreak = mismatch ? m_mismatchStreak + 1 : 0;
    }
    if (m_mismatchStreak >= 2) {
        m_mismatchStreak = 0;
        invalidateAppliedCache();
        m_repairTimes.append(now);
    }
    m_repairTimes.removeIf([&now](const QDateTime& at) { return at.msecsTo(now) > repairWindowSeconds * 1000; });
    if (m_repairTimes.size() >= 2) {
        line += Localized::text("(macOSの充電最適化と競合の可能性)");
        notifyInterferenceOnce(Localized::text(
            "macOSの「バッテリー充電の最適化」が本アプリの充電制御と競合している可能性があります。"
            "システム設定 → バッテリーでオフにすることを推奨します。"));
    }

    if (limit >= 81 && m_appliedCHWA == true) {
        line += Localized::text("(macOS純正80%上限が有効)");
        notifyInterferenceOnce(Localized::text(
            "macOS純正の80%充電上限が有効なため、80%で充電が停止します。"
            "システム設定 → バッテリーで解除するか、本アプリの上限を80%以下にしてください。"));
    }

    // Unknown after a repair, so that the repaired state is announced again.
    const std::optional<bool> previous = m_appliedInhibit;
    const bool inForce = co_await apply(hold, false, std::nullopt);
    if (!self)
        co_return;
    setStatusText(line);
    // Announce only what really holds: after a failed write the battery still does what it did,
    // and the failure itself has gone out as helperError.
    if (!inForce)
        co_return;
    if (hold && previous != true)
        raise(Event::startedHolding(limit));
    else if (!hold && previous != false)
        raise(Event::startedCharging());
}

std::pair<int, QString> ChargeController::computeEffectiveLimit(int soc, const QDateTime& now)
{
    int limit = m_settings.chargeLimit();
    QString reason = Localized::fmt("上限 %lld%%", qint64(limit));
    bool jit = false;
    if (!m_settings.adaptiveEnabled()) {
        m_jitLatchedUnplug.reset();
    } else {
        const std::optional<QDateTime> chargeStart
            = m_adaptive.jitChargeStartDate(soc, m_settings.adaptiveBufferMinutes());
        const ChargePolicy::JITDecision decision
            = ChargePolicy::decideJIT(soc, now, m_jitLatchedUnplug, m_adaptive.predictedUnplug(), chargeStart);
        m_jitLatchedUnplug = decision.latchedUnplug;
        if (decision.active && decision.latchedUnplug) {
            jit = true;
            limit = 100;
            reason = Localized::fmt("AI充電: %@の取り外しに向けて満充電中", formatTime(*decision.latchedUnplug));
        }
    }
    setJitActive(jit);
    // The user's full charge wins over the just-in-time text; the latch stays up to date below it.
    if (m_topUpActive) {
        limit = 100;
        reason = Localized::text("満充電モード");
    }
    return {limit, reason};
}

QString ChargeController::formatTime(const QDateTime& moment) const
{
    return QLocale().toString(moment.toTimeZone(m_calendar.timeZone()), QStringLiteral("H:mm"));
}

QCoro::Task<bool> ChargeController::apply(bool inhibit, bool discharge, std::optional<bool> chwa)
{
    QPointer<ChargeController> self(this);
    m_applying = true;
    const ScopeExit done([self] {
        if (self)
            self->m_applying = false;
    });

    // A key the daemon did not find cannot be written, and a write tried anyway would fail and
    // report an error on every pass: no discharge key means nothing can be forcing discharge,
    // and without a charge-inhibit key only the firmware's 80 % limit controls charging.
    const std::optional<ChargingCapabilities> capabilities = m_helper.capabilities();
    const bool hasDischargeKey = capabilities && capabilities->dischargeMethod;
    const bool hasInhibitKey = capabilities && capabilities->chargingControlMethod;

    if (!discharge && m_appliedDischarge != false && hasDischargeKey) {
        co_await applyDischarge(false);
        if (!self)
            co_return false;
    }

    bool inhibitInForce = m_appliedInhibit == inhibit;
    if (!inhibitInForce && hasInhibitKey) {
        const std::optional<HelperCommandResult> result = co_await m_helper.setChargingEnabled(!inhibit);
        if (!self)
            co_return false;
        if (succeeded(result)) {
            m_appliedInhibit = inhibit;
            setIsHolding(inhibit);
            inhibitInForce = true;
        } else {
            raise(Event::helperError(Localized::text("充電制御の書き込みに失敗しました")));
        }
    }

    if (discharge && m_appliedDischarge != true && hasDischargeKey) {
        co_await applyDischarge(true);
        if (!self)
            co_return false;
    }

    if (chwa && m_appliedCHWA != chwa) {
        const std::optional<HelperCommandResult> result = co_await m_helper.setAppleLimit80(*chwa);
        if (!self)
            co_return false;
        if (succeeded(result))
            m_appliedCHWA = chwa;
        else
            raise(Event::helperError(Localized::text("80%リミットの書き込みに失敗しました")));
    }
    co_return inhibitInForce;
}

QCoro::Task<> ChargeController::applyDischarge(bool on)
{
    QPointer<ChargeController> self(this);
    const std::optional<HelperCommandResult> result = co_await m_helper.setForceDischarge(on);
    if (!self)
        co_return;
    if (succeeded(result)) {
        m_appliedDischarge = on;
        setIsDischarging(on);
    } else {
        raise(Event::helperError(Localized::text("放電制御の書き込みに失敗しました")));
    }
}

void ChargeController::reconcile(const SMCChargingState& state)
{
    m_appliedInhibit = state.chargingInhibited;
    setIsHolding(state.chargingInhibited);
    m_appliedDischarge = state.forceDischarging;
    setIsDischarging(state.forceDischarging);
    if (state.appleLimit80)
        m_appliedCHWA = state.appleLimit80;
}

void ChargeController::invalidateAppliedCache()
{
    m_appliedInhibit.reset();
    m_appliedDischarge.reset();
    m_appliedCHWA.reset();
}

void ChargeController::notifyInterferenceOnce(const QString& text)
{
    if (m_interferenceNotified)
        return;
    m_interferenceNotified = true;
    raise(Event::externalInterference(text));
}

void ChargeController::resetGuardState()
{
    m_holdLatched = false;
    m_jitLatchedUnplug.reset();
    m_mismatchStreak = 0;
    m_repairTimes.clear();
}

} // namespace kestrune
