#include "tools/kestrune-demo/DemoHistory.h"

#include "Foundation/LocalCalendar.h"
#include "Foundation/Localized.h"
#include "Kestrune/App/AppLanguage.h"
#include "Kestrune/PowerSaver/PowerActionKeys.h"
#include "Kestrune/Storage/HistoryStore.h"
#include "tests/support/ManualClock.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <random>

namespace kestrune::demo {

namespace {

constexpr double designWh = 57.0;
constexpr double healthAtEnd = 92.0;
constexpr int cyclesAtEnd = 187;

// One stretch on battery, in minutes of the local day.
struct Outing {
    int unplug;
    int plug;
};

// The same figures on every run and every machine: the generator's raw output is fixed by
// the standard, unlike the distributions built on it.
class Dice {
public:
    double unit() { return double(m_engine()) / 4294967296.0; }
    double between(double low, double high) { return low + (high - low) * unit(); }
    int jitter(int range) { return int(std::lround(between(-range, range))); }

private:
    std::mt19937 m_engine { 20260313 };
};

QList<Outing> outingsOf(const QDate& day, Dice& dice)
{
    if (day.dayOfWeek() >= 6)
        return { { 10 * 60 + 5 + dice.jitter(40), 15 * 60 + dice.jitter(45) } };
    return { { 8 * 60 + 30 + dice.jitter(20), 12 * 60 + 15 + dice.jitter(15) },
        { 17 * 60 + 40 + dice.jitter(25), 21 * 60 + 10 + dice.jitter(30) } };
}

// Backend texts are written in the language the application asked for.
QString reportText(bool english, double hours, double savedWh, int minutes)
{
    const QString pattern = english
        ? QStringLiteral(
            "This battery session ran %1 h. The power saver profile and slowing background apps saved "
            "about %2 Wh, roughly %3 minutes more runtime. Tomorrow, dim the display a little earlier.")
        : QStringLiteral("今回のバッテリー駆動は%1時間。省電力プロファイルとバックグラウンド減速で約%2Wh節約し、"
                         "約%3分延命しました。明日は画面輝度を少し早めに下げると効果的です。");
    return pattern.arg(hours, 0, 'f', 1).arg(savedWh, 0, 'f', 1).arg(minutes);
}

QString diagnosisText(bool english, const QString& process)
{
    return english
        ? QStringLiteral("%1 kept the CPU busy in the background; drain was about twice the usual.")
              .arg(process)
        : QStringLiteral("%1 がバックグラウンドでCPUを使い続け、消費が通常の約2倍でした。").arg(process);
}

// Writes the month, reading by reading.
class Writer {
public:
    Writer(HistoryStore& store, test::ManualClock& clock, const DemoHistory::Options& options)
        : m_store(store)
        , m_clock(clock)
        , m_options(options)
        , m_english(AppLanguage::resolvedCode() == QLatin1String("en"))
    {
    }

    bool run()
    {
        const auto seconds = qint64(m_options.days * 86400);
        const QDateTime start = m_options.end.addSecs(-seconds);
        const qint64 total = seconds / m_options.sampleSpacingSeconds;
        m_soc = m_options.chargeLimit;
        for (qint64 i = 0; i <= total; ++i) {
            const QDateTime at = start.addSecs(i * m_options.sampleSpacingSeconds);
            const double daysLeft = double(at.secsTo(m_options.end)) / 86400;
            if (!step(at, daysLeft))
                return false;
        }
        return true;
    }

    DemoHistory::Written written;

private:
    bool onBattery(const QDateTime& at)
    {
        const QDate day = m_calendar.dayOf(at);
        if (day != m_day) {
            m_day = day;
            m_outings = outingsOf(day, m_dice);
        }
        const int minute = m_calendar.minuteOfDay(at);
        return std::any_of(m_outings.cbegin(), m_outings.cend(),
            [minute](const Outing& outing) { return minute >= outing.unplug && minute < outing.plug; });
    }

    bool step(const QDateTime& at, double daysLeft)
    {
        const bool battery = onBattery(at);
        if (m_started && battery != m_onBattery && !plugChange(at, battery))
            return false;
        m_started = true;
        m_onBattery = battery;

        const double dt = double(m_options.sampleSpacingSeconds);
        const double capacityWh = designWh * (healthAtEnd + daysLeft * 0.01) / 100;
        double watts = 0;
        bool charging = false;
        if (battery) {
            // A working day's load, with a video call now and then.
            const double load = (m_calendar.minuteOfDay(at) < 13 * 60 ? 7.0 : 8.5) + m_dice.between(-1.8, 2.2)
                + (m_dice.unit() < 0.03 ? 6.0 : 0.0);
            watts = -load;
            m_soc = std::max(5.0, m_soc - load * dt / 3600 / capacityWh * 100);
            m_sessionWh += load * dt / 3600;
            if (!sessionActions(at))
                return false;
        } else if (m_soc < m_options.chargeLimit) {
            // Fast up to 70 %, gentler towards the limit.
            watts = m_soc < 70 ? 27 + m_dice.between(-2, 2) : 27 - (m_soc - 70) * 1.4;
            charging = true;
            m_soc = std::min<double>(
                m_options.chargeLimit, m_soc + watts * 0.92 * dt / 3600 / capacityWh * 100);
        } else {
            // Held at the limit: the adapter runs the machine, the battery barely moves.
            watts = m_dice.between(-0.35, 0.25);
        }
        const double target = 28.5 + (charging ? 3.5 : 0) + std::abs(watts) * 0.18;
        m_temperature += (target - m_temperature) * 0.08 + m_dice.between(-0.08, 0.08);

        BatterySample sample(at, qint64(std::lround(m_soc)), charging, !battery, m_temperature,
            healthAtEnd + daysLeft * 0.01, cyclesAtEnd - qint64(daysLeft / 1.4), watts);
        if (!m_store.save(sample))
            return false;
        ++written.samples;
        return true;
    }

    bool plugChange(const QDateTime& at, bool battery)
    {
        PlugEventRecord event(at, !battery, qint64(std::lround(m_soc)));
        if (!m_store.save(event))
            return false;
        ++written.plugEvents;
        if (battery) {
            m_sessionStart = at;
            m_sessionWh = 0;
            m_sessionStep = 0;
            ++m_sessions;
            return log(at.addSecs(30), QStringLiteral("level"),
                Localized::fmt("L%lld→L%lld (残量%lld%%)", qint64(0), qint64(1), qint64(std::lround(m_soc))));
        }
        return endSession(at);
    }

    // The power saver's work as the session goes on, a step at a time.
    bool sessionActions(const QDateTime& at)
    {
        const QString process = m_processes[m_sessions % m_processes.size()];
        const QString throttle = PowerActionKeys::throttleKey(process);
        switch (m_sessionStep++) {
        case 1:
            return apply(at, QString::fromLatin1(PowerActionKeys::lowPowerMode));
        case 2:
            return apply(at, QString::fromLatin1(PowerActionKeys::keyboardOff));
        case 3:
            return apply(at, QString::fromLatin1(PowerActionKeys::spotlight));
        case 5:
            return apply(at, throttle);
        case 12:
            return measure(
                at, QString::fromLatin1(PowerActionKeys::lowPowerMode), 1.6 + m_dice.between(-0.3, 0.3));
        case 20:
            return measure(at, throttle, 0.9 + m_dice.between(-0.2, 0.4));
        case 40:
            if (m_sessions % 3 == 0)
                return log(
                    at, QStringLiteral("unthrottle"), Localized::fmt("%@ (前面化のため解除)", process));
            break;
        case 60:
            if (m_soc < 55) {
                return log(at, QStringLiteral("level"),
                           Localized::fmt(
                               "L%lld→L%lld (残量%lld%%)", qint64(1), qint64(2), qint64(std::lround(m_soc))))
                    && apply(at, QString::fromLatin1(PowerActionKeys::dim70))
                    && apply(at, QString::fromLatin1(PowerActionKeys::timeMachine));
            }
            break;
        case 70:
            if (m_sessions % 4 == 0)
                return log(at, QStringLiteral("strategy"),
                    Localized::fmt("異常診断: %@", diagnosisText(m_english, process)));
            break;
        case 80:
            if (m_sessions % 9 == 0) {
                return log(at, QStringLiteral("unthrottle"),
                           Localized::fmt("%@ (手動解除・好みを学習)", process))
                    && log(
                        at.addSecs(1), QStringLiteral("suggest"), Localized::fmt("%@ の除外を提案", process));
            }
            break;
        default:
            break;
        }
        return true;
    }

    bool endSession(const QDateTime& at)
    {
        const double hours = double(m_sessionStart.secsTo(at)) / 3600;
        // About a seventh of the energy drawn was saved; runtime gained at the session's drain.
        const double savedWh = m_sessionWh * 0.14;
        const double drainW = hours > 0 ? m_sessionWh / hours : 8;
        const double minutes = savedWh / drainW * 60;
        m_store.accrueSavings(savedWh, minutes, 5, at);
        if (m_calendar.dayOf(at) != m_lastLedgerDay) {
            m_lastLedgerDay = m_calendar.dayOf(at);
            ++written.savingsDays;
        }
        if (!log(at, QStringLiteral("restore"),
                Localized::fmt("全アクションを復元 (%@)", Localized::text("AC接続"))))
            return false;
        if (m_sessions % 2 == 0
            && !log(at.addSecs(40), QStringLiteral("report"),
                reportText(m_english, hours, savedWh, int(std::lround(minutes)))))
            return false;
        if (m_sessions % 7 == 0
            && !log(at.addSecs(300), QStringLiteral("share"),
                QString::fromLatin1(m_sessions % 14 ? "week" : "today")))
            return false;
        return true;
    }

    bool apply(const QDateTime& at, const QString& key)
    {
        return log(at, PowerActionKeys::logCategory(key),
            Localized::fmt("%@ を適用", PowerActionKeys::displayName(key)));
    }

    bool measure(const QDateTime& at, const QString& key, double deltaW)
    {
        m_clock.set(at);
        m_store.addActionOutcome(key, deltaW, true);
        ++written.outcomes;
        return log(at, QStringLiteral("measure"),
            Localized::fmt("%@ の実測効果 %.2fW", PowerActionKeys::displayName(key), deltaW));
    }

    bool log(const QDateTime& at, const QString& action, const QString& detail)
    {
        PowerActionRecord record(at, action, detail);
        if (!m_store.save(record))
            return false;
        ++written.actions;
        return true;
    }

    HistoryStore& m_store;
    test::ManualClock& m_clock;
    const DemoHistory::Options& m_options;
    const bool m_english;
    const LocalCalendar m_calendar;
    const QStringList m_processes { QStringLiteral("tracker-miner-fs-3"), QStringLiteral("dropbox"),
        QStringLiteral("node"), QStringLiteral("baloo_file") };
    Dice m_dice;

    QDate m_day;
    QList<Outing> m_outings;
    bool m_started = false;
    bool m_onBattery = false;
    double m_soc = 80;
    double m_temperature = 30;
    QDateTime m_sessionStart;
    double m_sessionWh = 0;
    int m_sessionStep = 0;
    int m_sessions = 0;
    QDate m_lastLedgerDay;
};

} // namespace

std::optional<DemoHistory::Written> DemoHistory::seed(
    const QString& path, const Options& options, QString* error)
{
    test::ManualClock clock(options.end);
    std::unique_ptr<HistoryStore> store = HistoryStore::open(path, error, clock);
    if (!store)
        return std::nullopt;
    if (options.days <= 0)
        return Written();
    Writer writer(*store, clock, options);
    if (!writer.run()) {
        if (error)
            *error = QStringLiteral("cannot write the history into %1").arg(path);
        return std::nullopt;
    }
    return writer.written;
}

} // namespace kestrune::demo
