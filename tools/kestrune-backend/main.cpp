// kestrune-backend: the fake backend as a program, for trying the application against a
// local server.
//
//   kestrune-backend [--port N] [--auth-required]

#include "tools/kestrune-backend/FakeBackend.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A local stand-in for the Kestrune backend."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
        QStringLiteral("Port on 127.0.0.1 (0: any free one)."), QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption authRequired(
        QStringLiteral("auth-required"), QStringLiteral("Refuse data requests without a device token."));
    parser.addOption(port);
    parser.addOption(authRequired);
    parser.process(app);

    bool ok = false;
    const uint number = parser.value(port).toUInt(&ok);
    QTextStream err(stderr);
    if (!ok || number > 65535) {
        err << "kestrune-backend: --port needs a number from 0 to 65535\n";
        return 2;
    }
    kestrune::FakeBackend::Options options;
    options.authRequired = parser.isSet(authRequired);
    kestrune::FakeBackend backend(options);
    if (!backend.listen(quint16(number))) {
        err << "kestrune-backend: cannot listen on 127.0.0.1:" << number << '\n';
        return 1;
    }
    QTextStream(stdout) << backend.url().toString() << Qt::endl;
    return app.exec();
}
