#include "Kestrune/PowerSaver/SavingsModel.h"

#include "Foundation/Epoch.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/PowerSaver/PowerActionKeys.h"
#include "Shared/JsonCodec.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrune {

namespace {

const QString effectsKey = QStringLiteral("savings.effects");
const QString penaltiesKey = QStringLiteral("savings.penalties");
const QString manualUnthrottlesKey = QStringLiteral("savings.manualUnthrottles");
const QString suggestionsKey = QStringLiteral("savings.suggestions");
const QString dismissedKey = QStringLiteral("savings.dismissedSuggestions");

constexpr double secondsPerDay = 86400.0;
constexpr double penaltyLifetimeDays = 30.0;
constexpr double rescueMemoryDays = 30.0;
constexpr double rescueWindowDays = 14.0;
constexpr qsizetype rescuesBeforeSuggesting = 2;
constexpr double samplesForFullConfidence = 5.0;
constexpr double unmeasuredConfidence = 0.15;
constexpr double throttlePriorW = 1.0;
constexpr double otherPriorW = 0.5;

using SecondsOf = double (*)(const QDateTime&);
using DateOf = QDateTime (*)(double);

double secondsBetween(const QDateTime& earlier, const QDateTime& later)
{
    return static_cast<double>(earlier.msecsTo(later)) / 1000.0;
}

std::optional<QJsonObject> encodeEffects(const LearnedEffectMap& effects, SecondsOf secondsOf)
{
    QJsonObject object;
    for (auto it = effects.begin(); it != effects.end(); ++it) {
        const auto encoded = it.value().toJsonObject(secondsOf);
        if (!encoded)
            return std::nullopt;
        object.insert(it.key(), *encoded);
    }
    return object;
}

std::optional<LearnedEffectMap> decodeEffects(const QJsonValue& value, DateOf dateOf)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    LearnedEffectMap effects;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isObject())
            return std::nullopt;
        const auto effect = LearnedEffect::fromJsonObject(it.value().toObject(), dateOf);
        if (!effect)
            return std::nullopt;
        effects.insert(it.key(), *effect);
    }
    return effects;
}

std::optional<QJsonObject> encodePenalties(const PenaltyEventMap& penalties, SecondsOf secondsOf)
{
    QJsonObject object;
    for (auto it = penalties.begin(); it != penalties.end(); ++it) {
        QJsonArray events;
        for (const PenaltyEvent& event : it.value()) {
            const auto encoded = event.toJsonObject(secondsOf);
            if (!encoded)
                return std::nullopt;
            events.append(*encoded);
        }
        object.insert(it.key(), events);
    }
    return object;
}

std::optional<PenaltyEventMap> decodePenalties(const QJsonValue& value, DateOf dateOf)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    PenaltyEventMap penalties;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isArray())
            return std::nullopt;
        QList<PenaltyEvent> events;
        for (const QJsonValue& item : it.value().toArray()) {
            if (!item.isObject())
                return std::nullopt;
            const auto event = PenaltyEvent::fromJsonObject(item.toObject(), dateOf);
            if (!event)
                return std::nullopt;
            events << *event;
        }
        penalties.insert(it.key(), events);
    }
    return penalties;
}

std::optional<QJsonObject> encodeRescues(const RescueDateMap& rescues, SecondsOf secondsOf)
{
    QJsonObject object;
    for (auto it = rescues.begin(); it != rescues.end(); ++it) {
        QJsonArray dates;
        for (const QDateTime& date : it.value()) {
            if (!date.isValid())
                return std::nullopt;
            dates.append(secondsOf(date));
        }
        object.insert(it.key(), dates);
    }
    return object;
}

std::optional<RescueDateMap> decodeRescues(const QJsonValue& value, DateOf dateOf)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    RescueDateMap rescues;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isArray())
            return std::nullopt;
        QList<QDateTime> dates;
        for (const QJsonValue& item : it.value().toArray()) {
            if (!item.isDouble())
                return std::nullopt;
            const QDateTime date = dateOf(item.toDouble());
            if (!date.isValid())
                return std::nullopt;
            dates << date;
        }
        rescues.insert(it.key(), dates);
    }
    return rescues;
}

std::optional<QStringList> decodeStrings(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    QStringList strings;
    for (const QJsonValue& item : value.toArray()) {
        if (!item.isString())
            return std::nullopt;
        strings << item.toString();
    }
    return strings;
}

// An imported state holds only what this machine could have learned by `now`: anything else
// (a saving no measurement shows, a negative count, a date ahead) is dropped entry by entry,
// so that one bad entry neither poisons the model nor costs the rest of its section.
LearnedEffectMap learnable(LearnedEffectMap effects, const QDateTime& now)
{
    effects.removeIf([&](const auto& it) { return !it.value().couldBeLearnedBy(now); });
    return effects;
}

PenaltyEventMap recordable(PenaltyEventMap penalties, const QDateTime& now)
{
    for (QList<PenaltyEvent>& events : penalties)
        events.removeIf([&](const PenaltyEvent& event) { return !event.couldBeRecordedBy(now); });
    penalties.removeIf([](const auto& it) { return it.value().isEmpty(); });
    return penalties;
}

RescueDateMap past(RescueDateMap rescues, const QDateTime& now)
{
    for (QList<QDateTime>& dates : rescues)
        dates.removeIf([&](const QDateTime& date) { return date > now; });
    rescues.removeIf([](const auto& it) { return it.value().isEmpty(); });
    return rescues;
}

// The stored JSON of one "savings." key as an object, or nothing when absent or malformed.
QJsonValue storedObject(const UserDefaults& defaults, const QString& key)
{
    const auto bytes = defaults.data(key);
    if (!bytes)
        return {};
    const auto object = JsonCodec::readObject(*bytes);
    return object ? QJsonValue(*object) : QJsonValue();
}

QStringList sortedList(const QSet<QString>& set)
{
    QStringList list(set.begin(), set.end());
    list.sort();
    return list;
}

} // namespace

SavingsModel::SavingsModel(UserDefaults& defaults, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_clock(clock)
{
    load();
}

const QMap<QString, double>& SavingsModel::coldStartWatts()
{
    static const QMap<QString, double> table{
        {QLatin1String(PowerActionKeys::lowPowerMode), 1.0},
        {QLatin1String(PowerActionKeys::keyboardOff), 0.2},
        {QLatin1String(PowerActionKeys::dim70), 0.8},
        {QLatin1String(PowerActionKeys::dim50), 1.5},
        {QLatin1String(PowerActionKeys::spotlight), 0.3},
        {QLatin1String(PowerActionKeys::timeMachine), 0.3},
    };
    return table;
}

void SavingsModel::recordMeasurement(const QString& key, double deltaW)
{
    // A non-finite figure would poison the average for good and could no longer be stored,
    // which would freeze every other learned effect at its last saved value.
    if (!std::isfinite(deltaW))
        return;
    LearnedEffectMap effects = m_effects;
    const QDateTime now = m_clock.now();
    auto it = effects.find(key);
    if (it == effects.end()) {
        effects.insert(key, LearnedEffect{deltaW, 1, now});
    } else {
        it->deltaW = 0.7 * it->deltaW + 0.3 * deltaW;
        if (it->samples < std::numeric_limits<qint64>::max())
            ++it->samples;
        it->updatedAt = now;
    }
    setEffects(effects);
    save();
}

SavingsModel::Blend SavingsModel::blendedSavings(const QString& key, std::optional<double> dynamicEstimate) const
{
    double prior = otherPriorW;
    if (dynamicEstimate)
        prior = *dynamicEstimate;
    else if (const auto it = coldStartWatts().constFind(key); it != coldStartWatts().constEnd())
        prior = it.value();
    else if (PowerActionKeys::isThrottleKey(key))
        prior = throttlePriorW;

    Blend blend;
    const auto effect = m_effects.constFind(key);
    if (effect != m_effects.constEnd() && effect->samples >= 1) {
        blend.confidence = std::min(static_cast<double>(effect->samples) / samplesForFullConfidence, 1.0);
        blend.watts = prior * (1.0 - blend.confidence) + effect->deltaW * blend.confidence;
        blend.measured = true;
    } else {
        blend.confidence = unmeasuredConfidence;
        blend.watts = prior;
    }
    // Also maps not-a-number to 0: the comparison fails.
    blend.watts = blend.watts > 0 ? blend.watts : 0.0;
    return blend;
}

void SavingsModel::recordPenalty(const QString& key, double weight, const QDateTime& at)
{
    // An event that cannot be stored would keep every other penalty from being saved.
    if (std::isfinite(weight) && at.isValid()) {
        PenaltyEventMap penalties = m_penalties;
        penalties[key].append(PenaltyEvent{at, weight});
        setPenalties(penalties);
    }
    prunePenalties(at);
    save();
}

void SavingsModel::prunePenalties(const QDateTime& now)
{
    if (!now.isValid())
        return;
    PenaltyEventMap pruned;
    for (auto it = m_penalties.begin(); it != m_penalties.end(); ++it) {
        QList<PenaltyEvent> kept;
        for (const PenaltyEvent& event : it.value())
            if (secondsBetween(event.date, now) < penaltyLifetimeDays * secondsPerDay)
                kept << event;
        if (!kept.isEmpty())
            pruned.insert(it.key(), kept);
    }
    setPenalties(pruned);
}

double SavingsModel::penaltyScore(const QString& key, const QDateTime& now) const
{
    double score = 0;
    for (const PenaltyEvent& event : m_penalties.value(key)) {
        const double ageDays = secondsBetween(event.date, now) / secondsPerDay;
        score += event.weight * std::max(0.0, 1.0 - ageDays / penaltyLifetimeDays);
    }
    return score;
}

std::vector<SavingsModel::KeyScore> SavingsModel::dislikedActions(double threshold, const QDateTime& now) const
{
    std::vector<KeyScore> disliked;
    for (auto it = m_penalties.begin(); it != m_penalties.end(); ++it) {
        const double score = penaltyScore(it.key(), now);
        if (score >= threshold)
            disliked.push_back({it.key(), score});
    }
    std::stable_sort(disliked.begin(), disliked.end(),
                     [](const KeyScore& a, const KeyScore& b) { return a.score > b.score; });
    return disliked;
}

std::optional<QString> SavingsModel::recordManualUnthrottle(const QString& app, bool alreadyExcluded,
                                                            const QDateTime& now)
{
    QList<QDateTime> dates = m_manualUnthrottleDates.value(app);
    dates << now;
    QList<QDateTime> kept;
    qsizetype recent = 0;
    for (const QDateTime& date : dates) {
        const double age = secondsBetween(date, now);
        if (age >= rescueMemoryDays * secondsPerDay)
            continue;
        kept << date;
        if (age < rescueWindowDays * secondsPerDay)
            ++recent;
    }
    RescueDateMap rescues = m_manualUnthrottleDates;
    rescues.insert(app, kept);
    setManualUnthrottleDates(rescues);

    std::optional<QString> suggested;
    if (recent >= rescuesBeforeSuggesting && !alreadyExcluded && !m_dismissedSuggestions.contains(app)
        && !m_exclusionSuggestions.contains(app)) {
        setExclusionSuggestions(m_exclusionSuggestions + QStringList{app});
        suggested = app;
    }
    save();
    return suggested;
}

void SavingsModel::resolveSuggestion(const QString& app, bool dismissed)
{
    QStringList suggestions = m_exclusionSuggestions;
    suggestions.removeAll(app);
    setExclusionSuggestions(suggestions);
    if (dismissed)
        m_dismissedSuggestions.insert(app);
    save();
}

std::vector<SavingsModel::KeyEffect> SavingsModel::learnedEffectList() const
{
    std::vector<KeyEffect> list;
    for (auto it = m_effects.begin(); it != m_effects.end(); ++it)
        list.push_back({it.key(), it.value()});
    std::stable_sort(list.begin(), list.end(),
                     [](const KeyEffect& a, const KeyEffect& b) { return a.effect.deltaW > b.effect.deltaW; });
    return list;
}

QJsonObject SavingsModel::exportBackup() const
{
    QJsonObject backup;
    if (const auto effects = encodeEffects(m_effects, Epoch::secondsSince1970))
        backup.insert(QStringLiteral("effects"), *effects);
    if (const auto penalties = encodePenalties(m_penalties, Epoch::secondsSince1970))
        backup.insert(QStringLiteral("penalties"), *penalties);
    if (const auto rescues = encodeRescues(m_manualUnthrottleDates, Epoch::secondsSince1970))
        backup.insert(QStringLiteral("manual_unthrottles"), *rescues);
    backup.insert(QStringLiteral("exclusion_suggestions"), QJsonArray::fromStringList(m_exclusionSuggestions));
    backup.insert(QStringLiteral("dismissed_suggestions"),
                  QJsonArray::fromStringList(sortedList(m_dismissedSuggestions)));
    return backup;
}

void SavingsModel::importBackup(const QJsonObject& backup)
{
    const QDateTime now = m_clock.now();
    if (const auto effects = decodeEffects(backup.value(QStringLiteral("effects")), Epoch::fromSecondsSince1970))
        setEffects(learnable(*effects, now));
    if (const auto penalties = decodePenalties(backup.value(QStringLiteral("penalties")),
                                               Epoch::fromSecondsSince1970))
        setPenalties(recordable(*penalties, now));
    if (const auto rescues = decodeRescues(backup.value(QStringLiteral("manual_unthrottles")),
                                           Epoch::fromSecondsSince1970))
        setManualUnthrottleDates(past(*rescues, now));
    if (const auto suggestions = decodeStrings(backup.value(QStringLiteral("exclusion_suggestions"))))
        setExclusionSuggestions(*suggestions);
    if (const auto dismissed = decodeStrings(backup.value(QStringLiteral("dismissed_suggestions"))))
        m_dismissedSuggestions = QSet<QString>(dismissed->begin(), dismissed->end());
    save();
}

void SavingsModel::load()
{
    if (const auto effects = decodeEffects(storedObject(m_defaults, effectsKey), Epoch::fromSecondsSince2001))
        m_effects = *effects;
    if (const auto penalties = decodePenalties(storedObject(m_defaults, penaltiesKey), Epoch::fromSecondsSince2001))
        m_penalties = *penalties;
    if (const auto rescues = decodeRescues(storedObject(m_defaults, manualUnthrottlesKey),
                                           Epoch::fromSecondsSince2001))
        m_manualUnthrottleDates = *rescues;
    m_exclusionSuggestions = m_defaults.stringArray(suggestionsKey).value_or(QStringList());
    const QStringList dismissed = m_defaults.stringArray(dismissedKey).value_or(QStringList());
    m_dismissedSuggestions = QSet<QString>(dismissed.begin(), dismissed.end());
}

void SavingsModel::save()
{
    // A section that cannot be encoded keeps its previously stored value.
    if (const auto effects = encodeEffects(m_effects, Epoch::secondsSince2001))
        m_defaults.set(effectsKey, JsonCodec::write(*effects));
    if (const auto penalties = encodePenalties(m_penalties, Epoch::secondsSince2001))
        m_defaults.set(penaltiesKey, JsonCodec::write(*penalties));
    if (const auto rescues = encodeRescues(m_manualUnthrottleDates, Epoch::secondsSince2001))
        m_defaults.set(manualUnthrottlesKey, JsonCodec::write(*rescues));
    m_defaults.set(suggestionsKey, m_exclusionSuggestions);
    m_defaults.set(dismissedKey, sortedList(m_dismissedSuggestions));
}

void SavingsModel::setEffects(const LearnedEffectMap& effects)
{
    if (effects == m_effects)
        return;
    m_effects = effects;
    emit effectsChanged();
}

void SavingsModel::setPenalties(const PenaltyEventMap& penalties)
{
    if (penalties == m_penalties)
        return;
    m_penalties = penalties;
    emit penaltiesChanged();
}

void SavingsModel::setManualUnthrottleDates(const RescueDateMap& dates)
{
    if (dates == m_manualUnthrottleDates)
        return;
    m_manualUnthrottleDates = dates;
    emit manualUnthrottleDatesChanged();
}

void SavingsModel::setExclusionSuggestions(const QStringList& suggestions)
{
    if (suggestions == m_exclusionSuggestions)
        return;
    m_exclusionSuggestions = suggestions;
    emit exclusionSuggestionsChanged();
}

} // namespace kestrune
