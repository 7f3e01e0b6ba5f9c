#include "tests/support/FakeHelperDaemon.h"

#include "Shared/ChargingCapabilities.h"
#include "Shared/HelperCommandResult.h"
#include "Shared/HelperProtocol.h"
#include "Shared/PowerMetricsReport.h"
#include "Shared/SMCChargingState.h"
#include "tests/support/EventLoop.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QMutexLocker>
#include <QTimer>

namespace kestrune::test {

using Answer = FakeHelperDaemon::Answer;

Answer Answer::bytes(const QByteArray& data)
{
    Answer a;
    a.kind = Kind::Bytes;
    a.data = data;
    return a;
}

Answer Answer::empty()
{
    return bytes(QByteArray());
}

Answer Answer::number(qint64 version)
{
    Answer a;
    a.kind = Kind::Version;
    a.version = version;
    return a;
}

Answer Answer::none()
{
    Answer a;
    a.kind = Kind::None;
    return a;
}

Answer Answer::error(const QString& name)
{
    Answer a;
    a.kind = Kind::Error;
    a.errorName = name;
    return a;
}

Answer Answer::after(int ms) const
{
    Answer a = *this;
    a.delayMs = ms;
    return a;
}

namespace {

const QStringList& allMethods()
{
    static const QStringList methods{
        HelperProtocol::getVersion, HelperProtocol::probeCapabilities, HelperProtocol::setChargingEnabled,
        HelperProtocol::setForceDischarge, HelperProtocol::setAppleLimit80, HelperProtocol::readChargingState,
        HelperProtocol::samplePowerMetrics, HelperProtocol::resetChargingDefaults, HelperProtocol::setLowPowerMode,
        HelperProtocol::setProcessThrottled, HelperProtocol::setSpotlightPaused, HelperProtocol::setTimeMachinePaused,
        HelperProtocol::restoreAllPowerSaving,
    };
    return methods;
}

QHash<QString, Answer> healthyDaemon()
{
    QHash<QString, Answer> answers;
    const QByteArray ok = *HelperCommandResult::ok().toJson();
    for (const QString& method : allMethods())
        answers.insert(method, Answer::bytes(ok));
    answers.insert(HelperProtocol::getVersion, Answer::number(HelperProtocol::version));

    ChargingCapabilities caps;
    caps.smcAvailable = true;
    caps.chargingControlMethod = QStringLiteral("CH0B/CH0C");
    caps.dischargeMethod = QStringLiteral("CHIE");
    answers.insert(HelperProtocol::probeCapabilities, Answer::bytes(*caps.toJson()));

    SMCChargingState state;
    state.appleLimit80 = false;
    answers.insert(HelperProtocol::readChargingState, Answer::bytes(*state.toJson()));

    PowerMetricsReport report;
    report.timestamp = QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);
    report.durationSeconds = 1;
    answers.insert(HelperProtocol::samplePowerMetrics, Answer::bytes(*report.toJson()));
    return answers;
}

} // namespace

FakeHelperDaemon::FakeHelperDaemon(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
    , m_answers(healthyDaemon())
{
    const bool exported = m_bus.registerObject(HelperProtocol::objectPath, this,
                                               QDBusConnection::ExportScriptableSlots);
    m_registered = exported && claimName();
}

FakeHelperDaemon::~FakeHelperDaemon()
{
    m_bus.unregisterObject(HelperProtocol::objectPath);
    releaseName();
}

void FakeHelperDaemon::releaseName()
{
    m_bus.unregisterService(HelperProtocol::label);
}

bool FakeHelperDaemon::claimName()
{
    return m_bus.registerService(HelperProtocol::label);
}

void FakeHelperDaemon::setAnswer(const QString& method, const Answer& answer)
{
    QMutexLocker lock(&m_mutex);
    m_answers.insert(method, answer);
}

void FakeHelperDaemon::setAnswerForAll(const Answer& answer)
{
    QMutexLocker lock(&m_mutex);
    for (const QString& method : allMethods())
        m_answers.insert(method, answer);
}

void FakeHelperDaemon::setReply(const QString& method, const QByteArray& bytes, int delayMs)
{
    setAnswer(method, Answer::bytes(bytes).after(delayMs));
}

void FakeHelperDaemon::setVersion(qint64 version, int delayMs)
{
    setAnswer(HelperProtocol::getVersion, Answer::number(version).after(delayMs));
}

QList<FakeHelperDaemon::Call> FakeHelperDaemon::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

QStringList FakeHelperDaemon::methods() const
{
    QMutexLocker lock(&m_mutex);
    QStringList names;
    for (const Call& call : m_calls)
        names << call.method;
    return names;
}

int FakeHelperDaemon::count(const QString& method) const
{
    QMutexLocker lock(&m_mutex);
    int n = 0;
    for (const Call& call : m_calls)
        n += call.method == method ? 1 : 0;
    return n;
}

void FakeHelperDaemon::clearCalls()
{
    QMutexLocker lock(&m_mutex);
    m_calls.clear();
}

bool FakeHelperDaemon::settle(QDBusConnection application) const
{
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        HelperProtocol::label, HelperProtocol::objectPath, HelperProtocol::label, QStringLiteral("ping"));
    // A call the application made while the first ping was on its way reaches the daemon
    // before the second ping does.
    int quiet = 0;
    for (int tries = 0; tries < 40 && quiet < 2; ++tries) {
        const qsizetype before = calls().size();
        const QDBusPendingCall pending = application.asyncCall(ping);
        if (!waitUntil([&] { return pending.isFinished(); }, 20'000) || pending.isError())
            return false;
        quiet = calls().size() == before ? quiet + 1 : 0;
    }
    return quiet == 2;
}

void FakeHelperDaemon::handle(const QString& method, const QVariantList& arguments)
{
    Answer answer;
    {
        QMutexLocker lock(&m_mutex);
        m_calls.append({method, arguments});
        answer = m_answers.value(method, Answer::none());
    }
    emit called(method);

    setDelayedReply(true);
    if (answer.kind == Answer::Kind::None)
        return;

    QDBusMessage reply;
    switch (answer.kind) {
    case Answer::Kind::Bytes:
        reply = message().createReply(QVariant::fromValue(answer.data));
        break;
    case Answer::Kind::Version:
        reply = message().createReply(QVariant::fromValue(static_cast<qlonglong>(answer.version)));
        break;
    case Answer::Kind::Error:
        reply = message().createErrorReply(answer.errorName, QStringLiteral("refused by the test"));
        break;
    case Answer::Kind::None:
        break;
    }
    QDBusConnection bus = connection();
    if (answer.delayMs <= 0) {
        bus.send(reply);
        return;
    }
    QTimer::singleShot(answer.delayMs, this, [bus, reply]() mutable { bus.send(reply); });
}

qlonglong FakeHelperDaemon::getVersion()
{
    handle(HelperProtocol::getVersion, {});
    return 0;
}

QByteArray FakeHelperDaemon::probeCapabilities()
{
    handle(HelperProtocol::probeCapabilities, {});
    return {};
}

QByteArray FakeHelperDaemon::setChargingEnabled(bool enabled)
{
    handle(HelperProtocol::setChargingEnabled, {enabled});
    return {};
}

QByteArray FakeHelperDaemon::setForceDischarge(bool on)
{
    handle(HelperProtocol::setForceDischarge, {on});
    return {};
}

QByteArray FakeHelperDaemon::setAppleLimit80(bool on)
{
    handle(HelperProtocol::setAppleLimit80, {on});
    return {};
}

QByteArray FakeHelperDaemon::readChargingState()
{
    handle(HelperProtocol::readChargingState, {});
    return {};
}

QByteArray FakeHelperDaemon::samplePowerMetrics(qlonglong seconds)
{
    handle(HelperProtocol::samplePowerMetrics, {seconds});
    return {};
}

QByteArray FakeHelperDaemon::resetChargingDefaults()
{
    handle(HelperProtocol::resetChargingDefaults, {});
    return {};
}

QByteArray FakeHelperDaemon::setLowPowerMode(bool on)
{
    handle(HelperProtocol::setLowPowerMode, {on});
    return {};
}

QByteArray FakeHelperDaemon::setProcessThrottled(qlonglong pid, bool throttled)
{
    handle(HelperProtocol::setProcessThrottled, {pid, throttled});
    return {};
}

QByteArray FakeHelperDaemon::setSpotlightPaused(bool paused)
{
    handle(HelperProtocol::setSpotlightPaused, {paused});
    return {};
}

QByteArray FakeHelperDaemon::setTimeMachinePaused(bool paused)
{
    handle(HelperProtocol::setTimeMachinePaused, {paused});
    return {};
}

QByteArray FakeHelperDaemon::restoreAllPowerSaving()
{
    handle(HelperProtocol::restoreAllPowerSaving, {});
    return {};
}

} // namespace kestrune::test
