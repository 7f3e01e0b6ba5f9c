// minimal-tray FILE: the least a battery applet in the tray does, as the yardstick the tray
// benchmark sets Kestrune's own cost beside: an icon in the tray whose tooltip shows what FILE
// holds (a battery's capacity), read every 30 s.

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QTextStream>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: minimal-tray FILE\n";
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    QIcon::setFallbackThemeName(QStringLiteral("breeze"));
    QSystemTrayIcon tray(QIcon::fromTheme(QStringLiteral("battery")));
    const auto read = [&] {
        QFile file(path);
        const QString capacity = file.open(QIODevice::ReadOnly)
            ? QString::fromLatin1(file.readAll().trimmed())
            : QStringLiteral("?");
        const QString tip = capacity + QStringLiteral(" %");
        if (tray.toolTip() != tip)
            tray.setToolTip(tip);
    };
    read();
    tray.show();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, read);
    timer.start(30000);
    return QApplication::exec();
}
