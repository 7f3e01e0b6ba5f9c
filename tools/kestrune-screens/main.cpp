// kestrune-screens: renders the application's screens offscreen into PNG files. See usageText.

#include "Kestrune/Share/ShareCardView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTextStream>

#include <functional>

using namespace kestrune;

namespace {

const char* const usageText =
    "usage: kestrune-screens [--lang ja|en] DIR\n"
    "\n"
    "Renders every screen it knows with made-up figures into DIR (created if needed), one PNG\n"
    "per screen named <screen>-<lang>.png, and lists the files it wrote. Exits 1 when a screen\n"
    "cannot be rendered or written.\n";

// Where the screens go, and in which language.
class Output {
public:
    Output(QString folder, QString language)
        : m_folder(std::move(folder))
        , m_language(std::move(language))
    {
    }

    bool write(const QString& screen, const QByteArray& png) const
    {
        const QString path = QDir(m_folder).filePath(screen + u'-' + m_language + QStringLiteral(".png"));
        QFile file(path);
        const bool written = !png.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(png) == png.size();
        QTextStream(written ? stdout : stderr) << (written ? "" : "cannot write ") << path << Qt::endl;
        return written;
    }

private:
    QString m_folder;
    QString m_language;
};

bool writeCard(const Output& output, const QString& screen, const ShareCardView& card)
{
    return output.write(screen, card.renderPNG().value_or(QByteArray()));
}

// The savings card for each period of a good week, an empty one, and one whose figure is too
// long for the card.
bool shareCards(const Output& output)
{
    const SavingsStats::Summary summary{.todayMinutes = 135, .todayWh = 12.3, .weekMinutes = 612.4, .weekWh = 55.8,
                                        .totalMinutes = 4821, .totalWh = 431.6, .streakDays = 5};
    bool ok = true;
    for (const SharePeriod period : SharePeriod::allCases())
        ok &= writeCard(output, QStringLiteral("share-card-") + period.rawValue(), ShareCardView(summary, period, 92.6));
    ok &= writeCard(output, QStringLiteral("share-card-empty"), ShareCardView({}, SharePeriod::Today, std::nullopt));
    const SavingsStats::Summary lifetime{.totalMinutes = 987654321, .totalWh = 1234567.8, .streakDays = 1200};
    ok &= writeCard(output, QStringLiteral("share-card-long"), ShareCardView(lifetime, SharePeriod::Total, 100));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    // No display is needed, nor wanted: the screens are the same on every machine.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.addOption({QStringLiteral("lang"), QStringLiteral("ja or en"), QStringLiteral("lang"), QStringLiteral("ja")});
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("folder for the PNG files"));
    parser.process(app);
    const QString language = parser.value(QStringLiteral("lang"));
    if (parser.positionalArguments().size() != 1 || (language != u"ja" && language != u"en")) {
        QTextStream(stderr) << usageText;
        return 2;
    }
    const QString folder = parser.positionalArguments().first();
    if (!QDir().mkpath(folder)) {
        QTextStream(stderr) << "cannot create " << folder << Qt::endl;
        return 1;
    }
    QLocale::setDefault(QLocale(language));

    const Output output(folder, language);
    const std::function<bool(const Output&)> screens[] = {shareCards};
    bool ok = true;
    for (const auto& screen : screens)
        ok &= screen(output);
    return ok ? 0 : 1;
}
