#include "Kestrune/AI/AIStrategist.h"

#include "Foundation/Epoch.h"
#include "Foundation/Graphemes.h"
#include "Foundation/Localized.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/Backend/BackendJson.h"
#include "Kestrune/Storage/ChargingSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrune {

namespace {

constexpr auto usageDayKey = "ai.usageDay";
constexpr auto callsTodayKey = "ai.callsToday";
constexpr auto tokensTodayKey = "ai.tokensToday";
constexpr auto strategyDayKey = "ai.strategyDay";
constexpr auto strategyJSONKey = "ai.strategyJSON";
constexpr auto strategyUpdatedAtKey = "ai.strategyUpdatedAt";
constexpr auto lastSessionReportKey = "ai.lastSessionReport";
constexpr auto lastSessionReportAtKey = "ai.lastSessionReportAt";

constexpr auto targetDrainWattsField = "target_drain_watts";
constexpr auto throttleRecommendedField = "throttle_recommended";
constexpr auto throttleAvoidField = "throttle_avoid";
constexpr auto brightnessCapField = "brightness_cap";
constexpr auto escalateSocThresholdField = "escalate_soc_threshold";
constexpr auto reasoningField = "reasoning";

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

// Token counts come from the server: the counters stop at their largest value rather than
// wrap to a negative count.
qint64 saturatingAdd(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

// One field of a strategy record: absent (missing or null), a value, or the wrong type.
template <typename T> struct Field {
    std::optional<T> value;
    bool wrongType = false;
};

// `convert` gives the value, or nothing for a value of the wrong type.
template <typename Convert> auto field(const QJsonObject& object, const char* name, Convert convert)
{
    using Value = typename decltype(convert(QJsonValue()))::value_type;
    const QJsonValue v = object.value(key(name));
    if (v.isUndefined() || v.isNull())
        return Field<Value> {};
    std::optional<Value> value = convert(v);
    return Field<Value> { value, !value };
}

std::optional<double> number(const QJsonValue& v)
{
    return v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt;
}

std::optional<QString> text(const QJsonValue& v)
{
    return v.isString() ? std::optional<QString>(v.toString()) : std::nullopt;
}

std::optional<QStringList> names(const QJsonValue& v)
{
    if (!v.isArray())
        return std::nullopt;
    QStringList list;
    const QJsonArray array = v.toArray();
    for (const QJsonValue& item : array) {
        if (!item.isString())
            return std::nullopt;
        list << item.toString();
    }
    return list;
}

// What is kept of a report or a diagnosis: its first characters, and no more code units than
// as many characters of two each (an emoji, a letter with its accent) take, since one character
// may stack marks without end.
QString readable(const QString& text)
{
    return Graphemes::prefix(text, AIStrategist::longestText, 2 * AIStrategist::longestText);
}

QString errorText(const char* key, const BackendFailure& failure)
{
    return Localized::fmt(key, Graphemes::prefix(failure.description(), 160));
}

} // namespace

// The strategy record.

std::optional<AIStrategist::Strategy> AIStrategist::Strategy::fromJson(const QByteArray& json)
{
    BackendResult<QJsonDocument> document = BackendJson::parse(json);
    if (!document || !document->isObject())
        return std::nullopt;
    const QJsonObject object = document->object();
    const auto target = field(object, targetDrainWattsField, number);
    const auto recommended = field(object, throttleRecommendedField, names);
    const auto avoid = field(object, throttleAvoidField, names);
    const auto cap = field(object, brightnessCapField, number);
    const auto escalate = field(object, escalateSocThresholdField, BackendJson::integer);
    const auto reasoning = field(object, reasoningField, text);
    if (target.wrongType || recommended.wrongType || avoid.wrongType || cap.wrongType || escalate.wrongType
        || reasoning.wrongType)
        return std::nullopt;
    return Strategy { target.value, recommended.value, avoid.value, cap.value, escalate.value,
        reasoning.value };
}

std::optional<QByteArray> AIStrategist::Strategy::toJson() const
{
    QJsonObject object;
    if (targetDrainWatts)
        object.insert(key(targetDrainWattsField), *targetDrainWatts);
    if (throttleRecommended)
        object.insert(key(throttleRecommendedField), QJsonArray::fromStringList(*throttleRecommended));
    if (throttleAvoid)
        object.insert(key(throttleAvoidField), QJsonArray::fromStringList(*throttleAvoid));
    if (brightnessCap)
        object.insert(key(brightnessCapField), *brightnessCap);
    if (escalateSocThreshold)
        object.insert(key(escalateSocThresholdField), *escalateSocThreshold);
    if (reasoning)
        object.insert(key(reasoningField), *reasoning);
    BackendResult<QByteArray> encoded = BackendJson::encode(object);
    if (!encoded)
        return std::nullopt;
    return encoded.value();
}

AIStrategist::Strategy AIStrategist::sanitize(const Strategy& strategy, const QStringList& knownProcessNames)
{
    Strategy clean;
    if (strategy.targetDrainWatts && std::isfinite(*strategy.targetDrainWatts))
        clean.targetDrainWatts = std::clamp(*strategy.targetDrainWatts, 3.0, 25.0);
    if (strategy.brightnessCap && std::isfinite(*strategy.brightnessCap))
        clean.brightnessCap = std::clamp(*strategy.brightnessCap, 0.5, 1.0);
    if (strategy.escalateSocThreshold)
        clean.escalateSocThreshold = std::clamp<qint64>(*strategy.escalateSocThreshold, 25, 60);
    const QSet<QString> known(knownProcessNames.begin(), knownProcessNames.end());
    clean.throttleRecommended = filterNames(strategy.throttleRecommended, known);
    clean.throttleAvoid = filterNames(strategy.throttleAvoid, known);
    if (strategy.reasoning)
        clean.reasoning = Graphemes::prefix(*strategy.reasoning, 300);
    return clean;
}

std::optional<QStringList> AIStrategist::filterNames(
    const std::optional<QStringList>& names, const QSet<QString>& known)
{
    if (!names || known.isEmpty())
        return std::nullopt;
    QStringList kept;
    for (const QString& name : *names) {
        if (known.contains(name) && Graphemes::count(name) <= 60)
            kept << name;
        if (kept.size() == 10)
            break;
    }
    if (kept.isEmpty())
        return std::nullopt;
    return kept;
}

QStringList AIStrategist::knownProcessNames(const QJsonObject& telemetry)
{
    const QJsonValue list = telemetry.value(QStringLiteral("top_processes"));
    if (!list.isArray())
        return {};
    QStringList names;
    const QJsonArray processes = list.toArray();
    for (const QJsonValue& process : processes) {
        // A list holding anything but objects is not a process list at all.
        if (!process.isObject())
            return {};
        const QJsonValue name = process.toObject().value(QStringLiteral("name"));
        if (name.isString())
            names << name.toString();
    }
    return names;
}

// The strategist.

AIStrategist::CallInFlight::CallInFlight(AIStrategist& strategist)
    : m_strategist(&strategist)
{
    strategist.setIsCalling(true);
}

AIStrategist::CallInFlight::~CallInFlight()
{
    if (m_strategist)
        m_strategist->setIsCalling(false);
}

AIStrategist::AIStrategist(ChargingSettings& settings, UserDefaults& defaults, const Clock& clock,
    LocalCalendar calendar, QObject* parent)
    : QObject(parent)
    , settings(settings)
    , defaults(defaults)
    , clock(clock)
    , calendar(std::move(calendar))
{
    restore();
    rolloverUsageIfNeeded();
}

AIStrategist::~AIStrategist() = default;

void AIStrategist::restore()
{
    m_lastSessionReport = defaults.string(key(lastSessionReportKey));
    // One stored whole by an earlier version is cut as a new one would be, and stored cut, so
    // that neither the tab nor every later write of the defaults carries it again.
    if (m_lastSessionReport) {
        const QString kept = readable(*m_lastSessionReport);
        if (kept.size() != m_lastSessionReport->size()) {
            m_lastSessionReport = kept;
            defaults.set(key(lastSessionReportKey), kept);
        }
    }
    if (const double at = defaults.real(key(lastSessionReportAtKey)); at > 0) {
        if (const QDateTime date = Epoch::fromSecondsSince1970(at); date.isValid())
            m_lastSessionReportAt = date;
    }
    m_usageDay = defaults.string(key(usageDayKey)).value_or(QString());
    m_callsToday = defaults.integer(key(callsTodayKey));
    m_tokensToday = defaults.integer(key(tokensTodayKey));
    // The day survives on its own: a strategy that cannot be read back still closes the day.
    m_strategyDay = defaults.string(key(strategyDayKey)).value_or(QString());

    const std::optional<QByteArray> json = defaults.data(key(strategyJSONKey));
    const std::optional<Strategy> stored = json ? Strategy::fromJson(*json) : std::nullopt;
    const double updatedAt = defaults.real(key(strategyUpdatedAtKey));
    if (!stored || updatedAt <= 0)
        return;
    const QDateTime at = Epoch::fromSecondsSince1970(updatedAt);
    if (at.isValid() && at.msecsTo(clock.now()) < qint64(strategyLifetimeSeconds * 1000)) {
        m_currentStrategy = stored;
        m_strategyUpdatedAt = at;
    }
}

void AIStrategist::setBackend(BackendClient* backend)
{
    if (m_backend == backend)
        return;
    m_backend = backend;
    emit backendChanged();
}

QString AIStrategist::provider() const
{
    return settings.llmProvider() == QLatin1String("claude") ? QStringLiteral("claude")
                                                             : QStringLiteral("openai");
}

QString AIStrategist::model() const
{
    return provider() == QLatin1String("claude") ? settings.claudeModel() : settings.openAIModel();
}

bool AIStrategist::backendRouteAvailable() const
{
    if (!m_backend || !m_backend->isReady())
        return false;
    const std::optional<HealthInfo> health = m_backend->lastHealth();
    // No answer yet, an empty map or a provider it does not mention: available.
    return !health || health->providers.value(provider(), true);
}

bool AIStrategist::isReady() const
{
    return settings.llmEnabled() && backendRouteAvailable();
}

std::optional<AIStrategist::Strategy> AIStrategist::activeStrategy() const
{
    if (!m_currentStrategy || !m_strategyUpdatedAt)
        return std::nullopt;
    if (m_strategyUpdatedAt->msecsTo(clock.now()) >= qint64(strategyLifetimeSeconds * 1000))
        return std::nullopt;
    return m_currentStrategy;
}

std::optional<QString> AIStrategist::lastSessionReport() const
{
    return m_lastSessionReport;
}

std::optional<QDateTime> AIStrategist::lastSessionReportAt() const
{
    return m_lastSessionReportAt;
}

QString AIStrategist::dayKey() const
{
    return calendar.dayOf(clock.now()).toString(Qt::ISODate);
}

bool AIStrategist::callPossible() const
{
    return isReady() && m_backend && !m_isCalling;
}

QCoro::Task<> AIStrategist::maybeUpdateStrategy(QJsonObject telemetry, bool force)
{
    if (!callPossible())
        co_return;
    if (dayKey() == m_strategyDay) {
        if (force)
            setLastError(Localized::text("省電力戦略の生成は1日1回までです(本日分は生成済み)"));
        co_return;
    }
    const QDateTime now = clock.now();
    if (!force && m_lastStrategyCallAt.isValid()
        && m_lastStrategyCallAt.msecsTo(now) < qint64(strategySpacingSeconds * 1000))
        co_return;
    m_lastStrategyCallAt = now;

    QPointer<AIStrategist> self(this);
    const CallInFlight call(*this);
    BackendResult<BackendClient::StrategyAnswer> answer
        = co_await m_backend->aiStrategy(telemetry, provider(), model());
    if (!self)
        co_return;
    if (!answer) {
        setLastError(errorText(QT_TRANSLATE_NOOP("Kestrune", "戦略更新エラー: %@"), answer.failure()));
        co_return;
    }
    // The call is counted even when its answer proves useless.
    recordUsage(answer->usage);
    const std::optional<Strategy> strategy = Strategy::fromJson(answer->strategyJSON);
    if (!strategy) {
        setLastError(Localized::text("戦略JSONの解析に失敗しました"));
        co_return;
    }
    setCurrentStrategy(sanitize(*strategy, knownProcessNames(telemetry)));
    setStrategyUpdatedAt(clock.now());
    setLastError(std::nullopt);
    m_strategyDay = dayKey();

    defaults.set(key(strategyDayKey), m_strategyDay);
    if (const std::optional<QByteArray> json = m_currentStrategy->toJson())
        defaults.set(key(strategyJSONKey), *json);
    defaults.set(key(strategyUpdatedAtKey), Epoch::secondsSince1970(*m_strategyUpdatedAt));
}

QCoro::Task<> AIStrategist::generateSessionReport(QJsonObject stats)
{
    if (!callPossible() || !settings.llmSessionReports())
        co_return;

    QPointer<AIStrategist> self(this);
    const CallInFlight call(*this);
    BackendResult<BackendClient::TextAnswer> answer
        = co_await m_backend->aiReport(stats, provider(), model());
    if (!self)
        co_return;
    if (!answer) {
        setLastError(errorText(QT_TRANSLATE_NOOP("Kestrune", "レポート生成エラー: %@"), answer.failure()));
        co_return;
    }
    recordUsage(answer->usage);
    const QString report = readable(answer->text.trimmed());
    setLastSessionReport(report);
    // Readers tell a new report by its time, so two within one millisecond still differ.
    QDateTime at = clock.now();
    if (m_lastSessionReportAt == at)
        at = at.addMSecs(1);
    setLastSessionReportAt(at);
    defaults.set(key(lastSessionReportKey), report);
    defaults.set(key(lastSessionReportAtKey), Epoch::secondsSince1970(at));
    setLastError(std::nullopt);
}

QCoro::Task<std::optional<QString>> AIStrategist::diagnoseAnomaly(QJsonObject context)
{
    if (!callPossible())
        co_return std::nullopt;
    const QDateTime now = clock.now();
    if (m_lastDiagnosisCallAt.isValid()
        && m_lastDiagnosisCallAt.msecsTo(now) < qint64(diagnosisSpacingSeconds * 1000))
        co_return std::nullopt;
    // Counted from the attempt: a failure also holds the next diagnosis back.
    m_lastDiagnosisCallAt = now;

    QPointer<AIStrategist> self(this);
    const CallInFlight call(*this);
    BackendResult<BackendClient::TextAnswer> answer
        = co_await m_backend->aiDiagnose(context, provider(), model());
    if (!self)
        co_return std::nullopt;
    if (!answer) {
        setLastError(errorText(QT_TRANSLATE_NOOP("Kestrune", "診断エラー: %@"), answer.failure()));
        co_return std::nullopt;
    }
    recordUsage(answer->usage);
    const QString diagnosis = readable(answer->text.trimmed());
    setLastDiagnosis(diagnosis);
    setLastError(std::nullopt);
    co_return diagnosis;
}

void AIStrategist::rolloverUsageIfNeeded()
{
    const QString today = dayKey();
    if (today == m_usageDay)
        return;
    m_usageDay = today;
    setCallsToday(0);
    setTokensToday(0);
}

void AIStrategist::recordUsage(const AIUsage& usage)
{
    rolloverUsageIfNeeded();
    // A negative count from the server is no usage at all.
    const qint64 tokens
        = saturatingAdd(std::max<qint64>(usage.inputTokens, 0), std::max<qint64>(usage.outputTokens, 0));
    setCallsToday(saturatingAdd(m_callsToday, 1));
    setTokensToday(saturatingAdd(m_tokensToday, tokens));
    defaults.set(key(usageDayKey), m_usageDay);
    defaults.set(key(callsTodayKey), m_callsToday);
    defaults.set(key(tokensTodayKey), m_tokensToday);
}

// Observable fields: observers hear only of real changes.

void AIStrategist::setCurrentStrategy(const Strategy& strategy)
{
    if (m_currentStrategy == strategy)
        return;
    m_currentStrategy = strategy;
    emit currentStrategyChanged();
}

void AIStrategist::setStrategyUpdatedAt(const QDateTime& at)
{
    if (m_strategyUpdatedAt == at)
        return;
    m_strategyUpdatedAt = at;
    emit strategyUpdatedAtChanged();
}

void AIStrategist::setLastSessionReport(const QString& report)
{
    if (m_lastSessionReport == report)
        return;
    m_lastSessionReport = report;
    emit lastSessionReportChanged();
}

void AIStrategist::setLastSessionReportAt(const QDateTime& at)
{
    if (m_lastSessionReportAt == at)
        return;
    m_lastSessionReportAt = at;
    emit lastSessionReportAtChanged();
}

void AIStrategist::setLastDiagnosis(const QString& diagnosis)
{
    if (m_lastDiagnosis == diagnosis)
        return;
    m_lastDiagnosis = diagnosis;
    emit lastDiagnosisChanged();
}

void AIStrategist::setLastError(const std::optional<QString>& error)
{
    if (m_lastError == error)
        return;
    m_lastError = error;
    emit lastErrorChanged();
}

void AIStrategist::setIsCalling(bool calling)
{
    if (m_isCalling == calling)
        return;
    m_isCalling = calling;
    emit isCallingChanged(calling);
}

void AIStrategist::setCallsToday(qint64 calls)
{
    if (m_callsToday == calls)
        return;
    m_callsToday = calls;
    emit callsTodayChanged(calls);
}

void AIStrategist::setTokensToday(qint64 tokens)
{
    if (m_tokensToday == tokens)
        return;
    m_tokensToday = tokens;
    emit tokensTodayChanged(tokens);
}

} // namespace kestrune
