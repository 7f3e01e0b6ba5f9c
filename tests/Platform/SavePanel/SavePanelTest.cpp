#include "Platform/SavePanel/SavePanel.h"

#include <QApplication>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace kestrune::test {

namespace {

// Acts on the dialog once it is up, as the user would.
void whenShown(const std::function<void(QFileDialog&)>& act)
{
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

} // namespace

TEST(SavePanelTest, OffersOneTypeWithTheSuggestedNameAndAnswersTheConfirmedPath)
{
    QTemporaryDir folder;
    QString offeredName;
    whenShown([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog.nameFilters(), QStringList{QStringLiteral("PNG (*.png)")});
        EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("png"));
        dialog.setDirectory(folder.path());
        dialog.selectFile(QStringLiteral("card")); // typed without the suffix
        static_cast<QDialog&>(dialog).accept(); // QFileDialog hides it; its own override still runs
    });
    const QString chosen = SavePanel::run(QStringLiteral("Kestrune-week.png"), QStringLiteral("PNG (*.png)"),
                                          QStringLiteral("png"));
    EXPECT_EQ(chosen, folder.filePath(QStringLiteral("card.png")));

    whenShown([&](QFileDialog& dialog) {
        offeredName = dialog.selectedFiles().value(0);
        dialog.reject();
    });
    EXPECT_TRUE(SavePanel::run(QStringLiteral("Kestrune-week.png"), QStringLiteral("PNG (*.png)"), QStringLiteral("png"))
                    .isEmpty());
    EXPECT_TRUE(offeredName.endsWith(QStringLiteral("/Kestrune-week.png"))) << offeredName.toStdString();
}

} // namespace kestrune::test
