#pragma once

#include "Foundation/Clock.h"
#include "Foundation/LocalCalendar.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrune {

class ChargingSettings;
class UserDefaults;

// The day's power-saving plan from the backend's language models. This is the least
// strategist: never ready and without a strategy. The engine and its tests depend only on
// the virtual members below; the backend client fills them in.
class AIStrategist : public QObject {
    Q_OBJECT
public:
    struct Strategy {
        std::optional<double> targetDrainWatts;
        std::optional<QStringList> throttleRecommended;
        std::optional<QStringList> throttleAvoid;
        std::optional<double> brightnessCap;
        std::optional<qint64> escalateSocThreshold;
        std::optional<QString> reasoning;

        bool operator==(const Strategy&) const = default;
    };

    AIStrategist(ChargingSettings& settings, UserDefaults& defaults, const Clock& clock,
                 LocalCalendar calendar, QObject* parent = nullptr);
    ~AIStrategist() override;

    virtual bool isReady() const;
    // The current strategy while it is younger than one day.
    virtual std::optional<Strategy> activeStrategy() const;
    virtual QCoro::Task<> maybeUpdateStrategy(QJsonObject telemetry, bool force);
    virtual QCoro::Task<> generateSessionReport(QJsonObject stats);
    virtual std::optional<QString> lastSessionReport() const;
    // Changes exactly when a call has received a report.
    virtual std::optional<QDateTime> lastSessionReportAt() const;

protected:
    ChargingSettings& settings;
    UserDefaults& defaults;
    const Clock& clock;
    LocalCalendar calendar;
};

} // namespace kestrune
