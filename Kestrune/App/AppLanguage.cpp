#include "Kestrune/App/AppLanguage.h"

#include "Foundation/UserDefaults.h"
#include "Platform/ServiceManagement/LoginItem.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QMetaObject>
#include <QPointer>
#include <QProcess>
#include <QTranslator>

namespace kestrune {

namespace {

// What the running process has settled: the interface language and a pending relaunch.
QString installedCode = QStringLiteral("ja");
QPointer<QTranslator> ownTranslator;
QPointer<QTranslator> qtTranslator;
bool relaunchPending = false;

std::optional<QString> firstShipped(const QStringList& languages)
{
    for (const QString& name : languages) {
        switch (QLocale(name).language()) {
        case QLocale::Japanese:
            return QStringLiteral("ja");
        case QLocale::English:
            return QStringLiteral("en");
        default:
            break;
        }
    }
    return std::nullopt;
}

void removeTranslator(QPointer<QTranslator>& translator)
{
    if (!translator)
        return;
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

// Installs the named translation when it can be loaded, and keeps it with the application.
QTranslator* install(const QString& name, const QString& folder)
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(name, folder) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

} // namespace

QString AppLanguage::rawValue() const
{
    switch (m_value) {
    case japanese:
        return QStringLiteral("ja");
    case english:
        return QStringLiteral("en");
    case system:
        break;
    }
    return QStringLiteral("system");
}

std::optional<AppLanguage> AppLanguage::fromRaw(const QString& raw)
{
    for (const AppLanguage language : allCases())
        if (language.rawValue() == raw)
            return language;
    return std::nullopt;
}

void AppLanguage::apply(AppLanguage language, UserDefaults& defaults)
{
    if (language == system) {
        defaults.remove(QString::fromLatin1(storedKey));
        defaults.remove(QString::fromLatin1(preferredLanguagesKey));
        return;
    }
    defaults.set(QString::fromLatin1(storedKey), language.rawValue());
    defaults.set(QString::fromLatin1(preferredLanguagesKey), QStringList{language.rawValue()});
}

QString AppLanguage::preferredCode(const UserDefaults& defaults, const QStringList& systemLanguages)
{
    const QStringList chosen = defaults.stringArray(QString::fromLatin1(preferredLanguagesKey)).value_or(QStringList());
    return firstShipped(chosen).value_or(firstShipped(systemLanguages).value_or(QStringLiteral("ja")));
}

void AppLanguage::installTranslator(const UserDefaults& defaults, const QStringList& systemLanguages)
{
    removeTranslator(ownTranslator);
    removeTranslator(qtTranslator);
    installedCode = preferredCode(defaults, systemLanguages);
    ownTranslator = install(QStringLiteral("kestrune_") + installedCode, QStringLiteral(":/i18n"));
    qtTranslator = install(QStringLiteral("qtbase_") + installedCode, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

QString AppLanguage::resolvedCode()
{
    return installedCode;
}

void AppLanguage::relaunchApp()
{
    if (relaunchPending)
        return;
    relaunchPending = true;
    // Queued, so that a request made before the event loop runs still ends it.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

bool AppLanguage::relaunchIfRequested()
{
    if (!relaunchPending)
        return false;
    relaunchPending = false;
    QStringList arguments = QCoreApplication::arguments().mid(1);
    arguments.removeAll(QLatin1String(LoginItem::launchArgument));
    // The program and its arguments go to the new process as they are; no shell reads them.
    return QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments);
}

} // namespace kestrune
