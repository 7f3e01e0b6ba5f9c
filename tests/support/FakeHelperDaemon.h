#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusContext>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace kestrune::test {

// A scriptable stand-in for the privileged daemon, for tests of the daemon's callers.
//
// It exports itself on the connection handed to the constructor under the daemon's bus name
// (HelperProtocol::label), at object "/", with the thirteen methods and the daemon's
// signatures: booleans as "b", pid and seconds as "x", JSON replies as "ay" (empty = no value),
// getVersion as "x". Give it a connection of its own (PrivateBus::connect("daemon")), not the
// one the code under test uses, so that the two are separate peers as in production.
//
// Out of the box it answers like a healthy daemon on a machine with charge control:
//   getVersion            2
//   probeCapabilities     SMC available, "CH0B/CH0C", "CHIE", no 80 % key, no notes
//   readChargingState     nothing inhibited, no forced discharge, 80 % limit off
//   samplePowerMetrics    a report of 1 s with no processes (timestamp 2026-03-02 09:00 UTC)
//   every command         HelperCommandResult success
//
// Script a method's answer for all later calls with setAnswer (or the shorthands):
//
//   FakeHelperDaemon daemon(bus.connect("daemon"));
//   daemon.setVersion(1);
//   daemon.setReply(HelperProtocol::setChargingEnabled,
//                   *HelperCommandResult::failure("書き込み失敗").toJson());
//   daemon.setAnswer(HelperProtocol::probeCapabilities, FakeHelperDaemon::Answer::none());
//   daemon.setAnswer(HelperProtocol::readChargingState,
//                    FakeHelperDaemon::Answer::bytes("not json").after(200));
//   daemon.setAnswerForAll(FakeHelperDaemon::Answer::none());   // a daemon that hangs
//
// Every call is recorded, in arrival order, before it is answered: calls(), methods(),
// count(method), and the called(method) signal. A call that is never answered is recorded too.
//
// releaseName() lets the bus name go (the daemon "exits": owner watchers see it leave) and
// claimName() takes it back. The destructor unexports the object and releases the name.
//
// Threads: the daemon answers on the thread it lives on. A test whose main thread blocks in a
// synchronous call can move the daemon to a QThread of its own (moveToThread after
// construction); scripting and the record are safe to use from any thread. Delete such a
// daemon after stopping that thread.
class FakeHelperDaemon : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kestrune.helper")

public:
    // How a method answers.
    struct Answer {
        enum class Kind { Bytes, Version, None, Error };

        Kind kind = Kind::Bytes;
        QByteArray data;      // Bytes: sent as they are (JSON, garbage, or empty for "no value")
        qint64 version = 0;   // Version: the number getVersion answers
        QString errorName;    // Error: the D-Bus error name
        int delayMs = 0;      // the answer leaves this long after the call arrived

        static Answer bytes(const QByteArray& data);
        static Answer empty();
        static Answer number(qint64 version);
        static Answer none();
        static Answer error(const QString& name = QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"));
        // The same answer, sent `ms` milliseconds late.
        Answer after(int ms) const;
    };

    // One call as it arrived: the method's name and its arguments (bool, qlonglong).
    struct Call {
        QString method;
        QVariantList arguments;
    };

    explicit FakeHelperDaemon(QDBusConnection bus, QObject* parent = nullptr);
    ~FakeHelperDaemon() override;

    // Both the object and the bus name were registered.
    bool isRegistered() const { return m_registered; }
    void releaseName();
    bool claimName();

    // Scripting. `method` is one of the HelperProtocol method names.
    void setAnswer(const QString& method, const Answer& answer);
    void setAnswerForAll(const Answer& answer);
    void setReply(const QString& method, const QByteArray& bytes, int delayMs = 0);
    void setVersion(qint64 version, int delayMs = 0);

    // The record.
    QList<Call> calls() const;
    QStringList methods() const;
    int count(const QString& method) const;
    void clearCalls();

    // Returns once what `application` (its connection on the test bus) asked before has had
    // its answer and the work waiting on that has run: a call of its own comes back with no
    // other call arriving meanwhile, twice in a row, the daemon answering in turn. False when
    // the calls never stop. Call it from the thread that runs the application.
    bool settle(QDBusConnection application) const;

signals:
    void called(const QString& method);

public slots:
    Q_SCRIPTABLE qlonglong getVersion();
    Q_SCRIPTABLE QByteArray probeCapabilities();
    Q_SCRIPTABLE QByteArray setChargingEnabled(bool enabled);
    Q_SCRIPTABLE QByteArray setForceDischarge(bool on);
    Q_SCRIPTABLE QByteArray setAppleLimit80(bool on);
    Q_SCRIPTABLE QByteArray readChargingState();
    Q_SCRIPTABLE QByteArray samplePowerMetrics(qlonglong seconds);
    Q_SCRIPTABLE QByteArray resetChargingDefaults();
    Q_SCRIPTABLE QByteArray setLowPowerMode(bool on);
    Q_SCRIPTABLE QByteArray setProcessThrottled(qlonglong pid, bool throttled);
    Q_SCRIPTABLE QByteArray setSpotlightPaused(bool paused);
    Q_SCRIPTABLE QByteArray setTimeMachinePaused(bool paused);
    Q_SCRIPTABLE QByteArray restoreAllPowerSaving();
    // Not of the protocol: answered at once and not recorded (settle()).
    Q_SCRIPTABLE void ping() {}

private:
    // Records the call and sends (or schedules, or withholds) its scripted answer.
    void handle(const QString& method, const QVariantList& arguments);

    QDBusConnection m_bus;
    bool m_registered = false;
    mutable QMutex m_mutex;
    QHash<QString, Answer> m_answers;
    QList<Call> m_calls;
};

} // namespace kestrune::test
