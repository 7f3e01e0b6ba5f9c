// kestrune-call: calls methods of the helper daemon and prints their answers, for checking
// a running daemon by hand and for the demo. It uses the daemon's bus (KESTRUNE_BUS).
//
//   kestrune-call METHOD [ARGUMENT...] [-- METHOD [ARGUMENT...]]...
//
// Several calls, separated by "--", are made one after the other over one connection, as
// the application makes them. Flags are "true" or "false", numbers are decimal. A JSON
// answer is printed as sent, an empty one as "nil", the version as a number, each on its own
// line; a bus error goes to standard error. Exit status 0 when the daemon answered every
// call, 1 after a bus error, 64 for a method or argument it does not know.

#include "Platform/Bus/HelperBus.h"
#include "Shared/HelperProtocol.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QTextStream>

#include <optional>
#include <vector>

using namespace kestrune;

namespace {

struct Method {
    QLatin1StringView name;
    const char* arguments; // one letter per argument: b flag, x number
};

const std::vector<Method> methods{
    {HelperProtocol::getVersion, ""},
    {HelperProtocol::probeCapabilities, ""},
    {HelperProtocol::setChargingEnabled, "b"},
    {HelperProtocol::setForceDischarge, "b"},
    {HelperProtocol::setAppleLimit80, "b"},
    {HelperProtocol::readChargingState, ""},
    {HelperProtocol::samplePowerMetrics, "x"},
    {HelperProtocol::resetChargingDefaults, ""},
    {HelperProtocol::setLowPowerMode, "b"},
    {HelperProtocol::setProcessThrottled, "xb"},
    {HelperProtocol::setSpotlightPaused, "b"},
    {HelperProtocol::setTimeMachinePaused, "b"},
    {HelperProtocol::restoreAllPowerSaving, ""},
};

int usage()
{
    QTextStream err(stderr);
    err << "usage: kestrune-call METHOD [ARGUMENT...] [-- METHOD [ARGUMENT...]]...\nmethods:\n";
    for (const Method& method : methods) {
        err << "  " << QString(method.name);
        for (const char* a = method.arguments; *a; ++a)
            err << (*a == 'b' ? " true|false" : " NUMBER");
        err << '\n';
    }
    return 64;
}

// The message for one call, from its method and arguments; nothing when they are not known.
std::optional<QDBusMessage> message(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return std::nullopt;
    const auto method = std::find_if(methods.begin(), methods.end(),
                                     [&](const Method& m) { return m.name == arguments.first(); });
    if (method == methods.end() || qsizetype(qstrlen(method->arguments)) != arguments.size() - 1)
        return std::nullopt;

    QDBusMessage call = QDBusMessage::createMethodCall(QString(HelperProtocol::label), QString(HelperProtocol::objectPath),
                                                       QString(HelperProtocol::label), arguments.first());
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& text = arguments.at(i);
        if (method->arguments[i - 1] == 'b') {
            if (text != QLatin1String("true") && text != QLatin1String("false"))
                return std::nullopt;
            call << (text == QLatin1String("true"));
        } else {
            bool ok = false;
            const qlonglong number = text.toLongLong(&ok);
            if (!ok)
                return std::nullopt;
            call << number;
        }
    }
    return call;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QList<QDBusMessage> calls;
    QStringList current;
    const QStringList arguments = QCoreApplication::arguments().mid(1) << QStringLiteral("--");
    for (const QString& argument : arguments) {
        if (argument != QLatin1String("--")) {
            current << argument;
            continue;
        }
        const auto call = message(current);
        if (!call)
            return usage();
        calls << *call;
        current.clear();
    }

    QTextStream out(stdout);
    int status = 0;
    for (const QDBusMessage& call : calls) {
        // Long enough for the longest sampling the daemon makes.
        const QDBusMessage reply = HelperBus::connection().call(call, QDBus::Block, 60'000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            out.flush();
            QTextStream(stderr) << "kestrune-call: " << reply.errorName() << ": " << reply.errorMessage() << '\n';
            status = 1;
            continue;
        }
        const QVariant value = reply.arguments().constFirst();
        if (value.metaType() == QMetaType::fromType<QByteArray>()) {
            const QByteArray json = value.toByteArray();
            out << (json.isEmpty() ? QStringLiteral("nil") : QString::fromUtf8(json)) << '\n';
        } else {
            out << value.toString() << '\n';
        }
    }
    return status;
}
