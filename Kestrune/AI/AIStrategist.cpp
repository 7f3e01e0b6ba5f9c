#include "Kestrune/AI/AIStrategist.h"

namespace kestrune {

AIStrategist::AIStrategist(ChargingSettings& settings, UserDefaults& defaults, const Clock& clock,
                           LocalCalendar calendar, QObject* parent)
    : QObject(parent), settings(settings), defaults(defaults), clock(clock), calendar(std::move(calendar))
{
}

AIStrategist::~AIStrategist() = default;

bool AIStrategist::isReady() const { return false; }

std::optional<AIStrategist::Strategy> AIStrategist::activeStrategy() const { return std::nullopt; }

QCoro::Task<> AIStrategist::maybeUpdateStrategy(QJsonObject, bool) { co_return; }

QCoro::Task<> AIStrategist::generateSessionReport(QJsonObject) { co_return; }

std::optional<QString> AIStrategist::lastSessionReport() const { return std::nullopt; }

std::optional<QDateTime> AIStrategist::lastSessionReportAt() const { return std::nullopt; }

} // namespace kestrune
