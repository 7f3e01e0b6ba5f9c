// settings-writer DEFAULTS BATCH_MS: keeps its settings in the file DEFAULTS as the application
// does (the user's through ChargingSettings, the learnt drain through AdaptiveEngine, figures
// batched every BATCH_MS) and takes one command a line on its standard input, answering each on
// its standard output once the turn of the event loop that handled it is over:
//   limit N   the user sets the charge limit to N             answer: ok
//   drain W   a reading on battery drawing W watts is learnt  answer: ok <typical drain learnt>
// The crash test kills it to see what a crash leaves in the file.

#include "Foundation/UserDefaults.h"
#include "Kestrune/Adaptive/AdaptiveEngine.h"
#include "Kestrune/Battery/BatterySnapshot.h"
#include "Kestrune/Storage/ChargingSettings.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

using namespace kestrune;

namespace {

void answer(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3)
        return 64;
    UserDefaults defaults(arguments[1], nullptr, std::chrono::milliseconds(arguments[2].toInt()));
    ChargingSettings settings(defaults);
    AdaptiveEngine adaptive(nullptr, defaults);

    const auto handle = [&](const QByteArray& line) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        const double value = words.value(1).toDouble();
        QByteArray reply = "?";
        if (words[0] == "limit") {
            settings.setChargeLimit(int(value));
            reply = "ok";
        } else if (words[0] == "drain") {
            BatterySnapshot reading;
            reading.voltageV = 12;
            reading.amperageA = -value / 12;
            adaptive.updateDrainModel(reading, reading);
            reply = "ok " + QByteArray::number(adaptive.typicalDrainWatts(), 'g', 17);
        }
        // After the writes this turn has asked for, which were posted first.
        QTimer::singleShot(0, &application, [reply] { answer(reply); });
    };

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, n);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            handle(pending.left(end));
            pending.remove(0, end + 1);
        }
    });
    return QCoreApplication::exec();
}
