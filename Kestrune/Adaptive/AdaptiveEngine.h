#pragma once

#include "Foundation/LocalCalendar.h"

#include <QDateTime>
#include <QObject>

#include <optional>

namespace kestrune {

struct BatterySnapshot;
class HistoryStore;
class UserDefaults;

// Learns how fast this machine charges, how much it draws on battery and when its user
// usually unplugs it, and from that tells the charge controller when charging to 100 % must
// begin to be full, with a margin, at the predicted unplug.
//
// The two rates persist in the user defaults ("adaptive.minutesPerPercent",
// "adaptive.typicalDrainWatts"); the prediction is recomputed from the stored plug events.
class AdaptiveEngine : public QObject {
    Q_OBJECT
    Q_PROPERTY(double minutesPerPercent READ minutesPerPercent WRITE setMinutesPerPercent NOTIFY
            minutesPerPercentChanged)
    Q_PROPERTY(double typicalDrainWatts READ typicalDrainWatts WRITE setTypicalDrainWatts NOTIFY
            typicalDrainWattsChanged)
    Q_PROPERTY(QDateTime predictedUnplug READ predictedUnplugDate NOTIFY predictedUnplugChanged)
    Q_PROPERTY(int unplugSampleCount READ unplugSampleCount NOTIFY unplugSampleCountChanged)

public:
    static constexpr auto minutesPerPercentKey = "adaptive.minutesPerPercent";
    static constexpr auto typicalDrainWattsKey = "adaptive.typicalDrainWatts";
    static constexpr double defaultMinutesPerPercent = 1.3;
    static constexpr double defaultTypicalDrainWatts = 6.0;
    // Plug events older than this say little about today's habits.
    static constexpr qint64 predictionWindowSeconds = 45 * 86400;

    // `history` may be null (the store could not be opened): the rates are still learned,
    // but no unplug is ever predicted. The calendar is the user's: by default the system's
    // zone at each refresh.
    AdaptiveEngine(HistoryStore* history, UserDefaults& defaults, LocalCalendar calendar = LocalCalendar(),
        QObject* parent = nullptr);

    HistoryStore* history() const { return m_history; }

    double minutesPerPercent() const { return m_minutesPerPercent; }
    double typicalDrainWatts() const { return m_typicalDrainWatts; }
    std::optional<QDateTime> predictedUnplug() const { return m_predictedUnplug; }
    int unplugSampleCount() const { return m_unplugSampleCount; }

    // Setting a rate directly does not persist it; only learning does.
    void setMinutesPerPercent(double value);
    void setTypicalDrainWatts(double value);

    // Learn from two consecutive readings, the previous one first.
    void updateChargeSpeed(const BatterySnapshot& from, const BatterySnapshot& to);
    void updateDrainModel(const BatterySnapshot& from, const BatterySnapshot& to);

    // Recomputes the prediction from the unplugs of the last 45 days.
    void refreshPrediction(const QDateTime& now);

    // The latest moment at which charging to 100 % from `currentSOC` must begin to be full
    // `bufferMinutes` before the predicted unplug; nothing without a prediction.
    std::optional<QDateTime> jitChargeStartDate(int currentSOC, int bufferMinutes) const;

signals:
    void minutesPerPercentChanged();
    void typicalDrainWattsChanged();
    void predictedUnplugChanged();
    void unplugSampleCountChanged();

private:
    QDateTime predictedUnplugDate() const { return m_predictedUnplug.value_or(QDateTime()); }
    void setPredictedUnplug(const std::optional<QDateTime>& value);
    void setUnplugSampleCount(int value);
    double storedRate(const char* key, double fallback) const;
    void persist();

    HistoryStore* m_history;
    UserDefaults& m_defaults;
    LocalCalendar m_calendar;
    double m_minutesPerPercent;
    double m_typicalDrainWatts;
    std::optional<QDateTime> m_predictedUnplug;
    int m_unplugSampleCount = 0;
};

} // namespace kestrune
