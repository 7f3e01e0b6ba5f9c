// kestrune-screens: renders the application's screens offscreen into PNG files. See usageText.

#include "Foundation/UserDefaults.h"
#include "Kestrune/App/AppLanguage.h"
#include "Platform/SystemInfo/SystemInfo.h"
#include "tools/kestrune-screens/MainWindowScreens.h"
#include "tools/kestrune-screens/OnboardingScreens.h"
#include "tools/kestrune-screens/PowerSaverScreens.h"
#include "tools/kestrune-screens/ScreenFolder.h"
#include "tools/kestrune-screens/ShareCardScreens.h"
#include "tools/kestrune-screens/ShareWindowScreens.h"
#include "tools/kestrune-screens/ToolkitScreens.h"
#include "tools/kestrune-screens/TrayScreens.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QTextStream>

using namespace kestrune;

namespace {

const char* const usageText =
    "usage: kestrune-screens [--lang ja|en] DIR\n"
    "\n"
    "Renders every screen it knows with made-up figures into DIR (created if needed), one PNG\n"
    "per screen and language named <screen>-<lang>.png, in Japanese and English or only in the\n"
    "language given, and lists the files it wrote. Exits 1 when a screen cannot be rendered or\n"
    "written.\n";

// Every set of screens, in the order they are written.
const ScreenSet screenSets[] = {shareCardScreens, toolkitScreens, trayScreens, mainWindowScreens, powerSaverScreens,
    shareWindowScreens, onboardingScreens};

// Makes `code` the interface language, as a launch with that choice stored would: the
// translations are installed from a throwaway defaults store, so the user's is not touched.
bool installLanguage(const QString& code)
{
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return false;
    UserDefaults defaults(scratch.filePath(QStringLiteral("defaults.json")));
    AppLanguage::apply(*AppLanguage::fromRaw(code), defaults);
    AppLanguage::installTranslator(defaults, {});
    QLocale::setDefault(QLocale(code));
    return AppLanguage::resolvedCode() == code;
}

} // namespace

int main(int argc, char** argv)
{
    // No display is needed, nor wanted: the screens are the same on every machine.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // As the program itself sets it, for the General tab's version row.
    QCoreApplication::setApplicationVersion(SystemInfo::applicationVersion());

    QCommandLineParser parser;
    parser.addOption({QStringLiteral("lang"), QStringLiteral("ja or en (default: both)"), QStringLiteral("lang")});
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("folder for the PNG files"));
    parser.process(app);
    const QStringList languages = parser.isSet(QStringLiteral("lang"))
        ? QStringList{parser.value(QStringLiteral("lang"))}
        : QStringList{QStringLiteral("ja"), QStringLiteral("en")};
    const bool known = languages.first() == u"ja" || languages.first() == u"en";
    if (parser.positionalArguments().size() != 1 || !known) {
        QTextStream(stderr) << usageText;
        return 2;
    }
    const QString folder = parser.positionalArguments().first();
    if (!QDir().mkpath(folder)) {
        QTextStream(stderr) << "cannot create " << folder << Qt::endl;
        return 1;
    }

    bool ok = true;
    for (const QString& language : languages) {
        if (!installLanguage(language)) {
            QTextStream(stderr) << "cannot install the " << language << " translations" << Qt::endl;
            return 1;
        }
        const ScreenFolder output(folder, language);
        for (const ScreenSet screens : screenSets)
            ok &= screens(output);
    }
    return ok ? 0 : 1;
}
