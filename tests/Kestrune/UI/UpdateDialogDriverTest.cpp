#include "Kestrune/UI/UpdateDialogDriver.h"
#include "tests/support/EventLoop.h"
#include "tests/support/UrlRecorder.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace kestrune;
using namespace kestrune::test;

TEST(UpdateDialogDriver, ShowsEachOutcomeWithoutBlockingAndOpensTheReleasePage)
{
    UrlRecorder browser;
    QDesktopServices::setUrlHandler("https", &browser, "open");
    UpdateDialogDriver driver;

    driver.showUpdateAvailable("0.10.0", QUrl("https://kestrune.org/r/0.10.0"), "0.9.9");
    QPointer<QMessageBox> available = driver.dialog();
    ASSERT_TRUE(available && available->isVisible());
    EXPECT_TRUE(available->text().startsWith("新しいバージョンのKestruneがあります"));
    EXPECT_TRUE(available->text().contains("0.10.0") && available->text().contains("0.9.9"));
    auto* openPage = available->findChild<QPushButton*>("openPage");
    ASSERT_TRUE(openPage);
    openPage->click();
    EXPECT_EQ(browser.opened, QList<QUrl>{QUrl("https://kestrune.org/r/0.10.0")});
    EXPECT_TRUE(waitUntil([&] { return available.isNull(); })); // closed and gone

    // Text from the network is shown as text, and a later outcome replaces the box.
    driver.showUpdateError("<b>bad</b> feed");
    QPointer<QMessageBox> error = driver.dialog();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->text(), "アップデートを確認できませんでした\n\n<b>bad</b> feed");
    const auto* label = error->findChild<QLabel*>("qt_msgbox_label");
    ASSERT_TRUE(label);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    driver.showUpToDate("0.10.0");
    EXPECT_TRUE(error.isNull());
    ASSERT_TRUE(driver.dialog() && driver.dialog()->isVisible());
    EXPECT_TRUE(driver.dialog()->text().startsWith("お使いのKestruneは最新です"));
    QDesktopServices::unsetUrlHandler("https");
}
