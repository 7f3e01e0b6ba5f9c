// kestrune-call: calls one method of the helper daemon and prints its answer, for checking
// a running daemon by hand and for the demo. It uses the daemon's bus (KESTRUNE_BUS).
//
//   kestrune-call METHOD [ARGUMENT...]
//
// Flags are "true" or "false", numbers are decimal. A JSON answer is printed as sent, an
// empty one as "nil", the version as a number. Exit status 0 when the daemon answered,
// 1 on a bus error, 64 for a method or argument it does not know.

#include "Platform/Bus/HelperBus.h"
#include "Shared/HelperProtocol.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QTextStream>

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
    err << "usage: kestrune-call METHOD [ARGUMENT...]\nmethods:\n";
    for (const Method& method : methods) {
        err << "  " << QString(method.name);
        for (const char* a = method.arguments; *a; ++a)
            err << (*a == 'b' ? " true|false" : " NUMBER");
        err << '\n';
    }
    return 64;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty())
        return usage();
    const auto method = std::find_if(methods.begin(), methods.end(),
                                     [&](const Method& m) { return m.name == arguments.first(); });
    if (method == methods.end() || qsizetype(qstrlen(method->arguments)) != arguments.size() - 1)
        return usage();

    QDBusMessage call = QDBusMessage::createMethodCall(QString(HelperProtocol::label), QString(HelperProtocol::objectPath),
                                                       QString(HelperProtocol::label), arguments.first());
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& text = arguments.at(i);
        if (method->arguments[i - 1] == 'b') {
            if (text != QLatin1String("true") && text != QLatin1String("false"))
                return usage();
            call << (text == QLatin1String("true"));
        } else {
            bool ok = false;
            const qlonglong number = text.toLongLong(&ok);
            if (!ok)
                return usage();
            call << number;
        }
    }

    // Long enough for the longest sampling the daemon makes.
    const QDBusMessage reply = HelperBus::connection().call(call, QDBus::Block, 60'000);
    QTextStream out(stdout);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        QTextStream(stderr) << "kestrune-call: " << reply.errorName() << ": " << reply.errorMessage() << '\n';
        return 1;
    }
    const QVariant value = reply.arguments().constFirst();
    if (value.metaType() == QMetaType::fromType<QByteArray>()) {
        const QByteArray json = value.toByteArray();
        out << (json.isEmpty() ? QStringLiteral("nil") : QString::fromUtf8(json)) << '\n';
    } else {
        out << value.toString() << '\n';
    }
    return 0;
}
