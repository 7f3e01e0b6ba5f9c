// Writes one line per start into the file named by its last argument: its own path and its
// arguments, separated by tabs. The first start asks to be relaunched (twice, as an
// impatient user would) and then quits.
#include "Kestrune/App/AppLanguage.h"

#include <QCoreApplication>
#include <QFile>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QFile record(arguments.last());
    const bool first = !record.exists();
    if (!record.open(QIODevice::Append))
        return 2;
    record.write((QStringList{QCoreApplication::applicationFilePath()} + arguments.mid(1)).join(u'\t').toUtf8() + '\n');
    record.close();
    if (!first)
        return 0;

    kestrune::AppLanguage::relaunchApp();
    kestrune::AppLanguage::relaunchApp();
    const int status = app.exec();
    const bool started = kestrune::AppLanguage::relaunchIfRequested();
    const bool startedAgain = kestrune::AppLanguage::relaunchIfRequested();
    return status == 0 && started && !startedAgain ? 0 : 1;
}
