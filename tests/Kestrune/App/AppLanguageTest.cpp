#include "Foundation/Localized.h"
#include "Foundation/UserDefaults.h"
#include "Kestrune/App/AppLanguage.h"
#include "Kestrune/PowerSaver/PowerActionKeys.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrune;

class AppLanguageTest : public ::testing::Test {
protected:
    // Later tests of this program expect the Japanese interface.
    void TearDown() override { AppLanguage::installTranslator(UserDefaults(folder.filePath("other.json")), {"ja"}); }

    QTemporaryDir folder;
    UserDefaults defaults{folder.filePath("defaults.json")};
};

TEST_F(AppLanguageTest, TheStoredChoiceDecidesTheNextLaunchsLanguage)
{
    for (const AppLanguage language : AppLanguage::allCases())
        EXPECT_EQ(AppLanguage::fromRaw(language.rawValue()), language);
    for (const char* other : {"", "EN", "english", "ja-JP", "System"})
        EXPECT_FALSE(AppLanguage::fromRaw(other)) << other;

    AppLanguage::apply(AppLanguage::system, defaults); // nothing to remove yet
    AppLanguage::apply(AppLanguage::english, defaults);
    EXPECT_EQ(defaults.object("appLanguage"), QVariant(QStringLiteral("en")));
    EXPECT_EQ(defaults.stringArray("AppleLanguages"), QStringList{"en"});
    EXPECT_EQ(AppLanguage::preferredCode(defaults, {"ja-JP"}), "en");
    AppLanguage::apply(AppLanguage::japanese, defaults);
    EXPECT_EQ(AppLanguage::preferredCode(defaults, {"en-US"}), "ja");

    // Following the system again: its first language that we ship, else Japanese.
    AppLanguage::apply(AppLanguage::system, defaults);
    EXPECT_TRUE(defaults.keys().isEmpty());
    EXPECT_EQ(AppLanguage::preferredCode(defaults, {"fr-FR", "en-GB", "ja"}), "en");
    EXPECT_EQ(AppLanguage::preferredCode(defaults, {"fr", "de"}), "ja");
    defaults.set("AppleLanguages", QStringList{"fr"}); // a choice we do not ship
    EXPECT_EQ(AppLanguage::preferredCode(defaults, {"en"}), "en");
}

TEST_F(AppLanguageTest, TheInterfaceKeepsTheLanguageItWasLaunchedWith)
{
    AppLanguage::apply(AppLanguage::english, defaults);
    AppLanguage::installTranslator(defaults, {"ja-JP"});
    EXPECT_EQ(AppLanguage::resolvedCode(), "en");
    EXPECT_EQ(Localized::fmt("上限 %lld%%", qint64(80)), "Limit 80%");
    EXPECT_EQ(PowerActionKeys::displayName("lpm"), "Power saver profile");

    AppLanguage::apply(AppLanguage::japanese, defaults);
    EXPECT_EQ(AppLanguage::resolvedCode(), "en");
    AppLanguage::installTranslator(defaults, {"en-US"});
    EXPECT_EQ(AppLanguage::resolvedCode(), "ja");
    EXPECT_EQ(Localized::text("満充電"), "満充電");
    // Texts that name the other platform's features read as this one's.
    EXPECT_EQ(Localized::text("(macOSの充電最適化と競合の可能性)"), "(他の充電しきい値の設定と競合の可能性)");
    EXPECT_EQ(PowerActionKeys::displayName("lpm"), "省電力プロファイル");
    if (QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm")) {
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "キャンセル");
    }
}
