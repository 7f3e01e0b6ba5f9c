#pragma once

#include "Foundation/Clock.h"
#include "Kestrune/PowerSaver/LearnedEffect.h"
#include "Kestrune/PowerSaver/PenaltyEvent.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kestrune {

class UserDefaults;

using LearnedEffectMap = QMap<QString, LearnedEffect>;        // action key -> learned saving
using PenaltyEventMap = QMap<QString, QList<PenaltyEvent>>;   // action key -> overrides, oldest first
using RescueDateMap = QMap<QString, QList<QDateTime>>;        // application -> manual restores

// What the power saver has learned about this machine and this user: the saving each
// action really achieves, which actions the user keeps undoing, and which applications the
// user keeps rescuing from throttling. Kept in the user defaults under "savings." keys and
// written back after every change; exported and imported whole as the learned-state backup.
class SavingsModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(kestrune::LearnedEffectMap effects READ effects NOTIFY effectsChanged)
    Q_PROPERTY(kestrune::PenaltyEventMap penalties READ penalties NOTIFY penaltiesChanged)
    Q_PROPERTY(kestrune::RescueDateMap manualUnthrottleDates READ manualUnthrottleDates
                   NOTIFY manualUnthrottleDatesChanged)
    Q_PROPERTY(QStringList exclusionSuggestions READ exclusionSuggestions NOTIFY exclusionSuggestionsChanged)

public:
    struct Blend {
        double watts = 0;
        double confidence = 0;
        bool measured = false;

        bool operator==(const Blend&) const = default;
    };

    struct KeyScore {
        QString key;
        double score = 0;

        bool operator==(const KeyScore&) const = default;
    };

    struct KeyEffect {
        QString key;
        LearnedEffect effect;

        bool operator==(const KeyEffect&) const = default;
    };

    // Starts empty and loads what the defaults hold. `clock` stamps measurements.
    explicit SavingsModel(UserDefaults& defaults, const Clock& clock = Clock::system(), QObject* parent = nullptr);

    // The saving assumed for a fixed action before it has been measured, in W.
    static const QMap<QString, double>& coldStartWatts();

    LearnedEffectMap effects() const { return m_effects; }
    PenaltyEventMap penalties() const { return m_penalties; }
    RescueDateMap manualUnthrottleDates() const { return m_manualUnthrottleDates; }
    // Oldest suggestion first.
    QStringList exclusionSuggestions() const { return m_exclusionSuggestions; }

    // Folds a measured saving into the key's moving average (0.7 old + 0.3 new).
    void recordMeasurement(const QString& key, double deltaW);

    // The expected saving: the prior (the dynamic estimate, else the cold-start figure, else
    // 1 W for a throttle and 0.5 W for anything else) blended with what was measured, by a
    // confidence that grows to 1 at five measurements. Never negative.
    Blend blendedSavings(const QString& key, std::optional<double> dynamicEstimate = std::nullopt) const;

    // Penalties fade linearly to nothing over 30 days; recording one drops the faded ones.
    void recordPenalty(const QString& key, double weight, const QDateTime& at);
    double penaltyScore(const QString& key, const QDateTime& now) const;
    // The keys whose penalty score is at least `threshold`, highest first.
    std::vector<KeyScore> dislikedActions(double threshold, const QDateTime& now) const;

    // Counts a manual restore of a throttled application. Returns the name when this is its
    // second restore within 14 days and it has not been suggested, dismissed or excluded.
    std::optional<QString> recordManualUnthrottle(const QString& app, bool alreadyExcluded, const QDateTime& now);
    // Clears a suggestion; a dismissed name is never suggested again.
    void resolveSuggestion(const QString& app, bool dismissed);

    // Every learned effect, largest saving first.
    std::vector<KeyEffect> learnedEffectList() const;

    // The learned-state backup: "effects", "penalties", "manual_unthrottles",
    // "exclusion_suggestions" and "dismissed_suggestions", with dates as seconds since 1970.
    QJsonObject exportBackup() const;
    // Replaces each section that is present and well-formed, as a whole; leaves the others.
    // Entries this machine could not have learned by now are left out.
    void importBackup(const QJsonObject& backup);

signals:
    void effectsChanged();
    void penaltiesChanged();
    void manualUnthrottleDatesChanged();
    void exclusionSuggestionsChanged();

private:
    void load();
    void save();
    void prunePenalties(const QDateTime& now);

    void setEffects(const LearnedEffectMap& effects);
    void setPenalties(const PenaltyEventMap& penalties);
    void setManualUnthrottleDates(const RescueDateMap& dates);
    void setExclusionSuggestions(const QStringList& suggestions);

    UserDefaults& m_defaults;
    const Clock& m_clock;
    LearnedEffectMap m_effects;
    PenaltyEventMap m_penalties;
    RescueDateMap m_manualUnthrottleDates;
    QStringList m_exclusionSuggestions;
    QSet<QString> m_dismissedSuggestions;
};

} // namespace kestrune
