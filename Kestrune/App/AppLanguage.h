#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrune {

class UserDefaults;

// The user's choice of interface language. The choice is stored in the user defaults and
// takes effect at the next launch; `relaunchApp` provides that launch.
class AppLanguage {
public:
    enum Value { system, japanese, english };

    constexpr AppLanguage(Value value) : m_value(value) {}
    constexpr operator Value() const { return m_value; }

    static constexpr auto storedKey = "appLanguage";
    static constexpr auto preferredLanguagesKey = "AppleLanguages";

    // "system", "ja" or "en"; also the identifier.
    QString rawValue() const;
    QString id() const { return rawValue(); }
    static std::optional<AppLanguage> fromRaw(const QString& raw);
    static QList<AppLanguage> allCases() { return {system, japanese, english}; }

    // Stores the choice for the next launch. The running interface keeps its language.
    static void apply(AppLanguage language, UserDefaults& defaults);

    // The language to show at launch: the stored choice, else the first of the system's
    // languages that we ship (Japanese, English), else Japanese. As a code, "ja" or "en".
    static QString preferredCode(const UserDefaults& defaults,
                                 const QStringList& systemLanguages = QLocale::system().uiLanguages());

    // Loads the translations of the preferred language, ours and, where installed, Qt's own
    // (the standard buttons of dialogs). Called at launch before any text is made; a second
    // call replaces what the first installed.
    static void installTranslator(const UserDefaults& defaults,
                                  const QStringList& systemLanguages = QLocale::system().uiLanguages());

    // The language the running interface shows: the one installTranslator chose, and
    // Japanese, the language of the texts themselves, until it has run.
    static QString resolvedCode();

    // Asks for a fresh instance and quits this one. The new instance is started by
    // relaunchIfRequested once the event loop has ended.
    static void relaunchApp();
    // Called by the program after the event loop and the quit clean-up, once the instance
    // has let go of its bus name: starts this program again with this launch's arguments
    // (without the login-item mark, since the user, not the session, asked for it). Returns
    // whether the new instance started; a failure is dropped, the user starts it again.
    static bool relaunchIfRequested();

private:
    Value m_value;
};

} // namespace kestrune
