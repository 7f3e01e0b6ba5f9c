#include "Platform/SavePanel/SavePanel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kestrune;

TEST(SavePanel, OpensInThePicturesFolderElseAtHomeWithTheNameFilledIn)
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(".config")));
    ASSERT_TRUE(QDir(home.path()).mkpath(".config"));
    QFile dirs(home.filePath(".config/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    dirs.close();
    // What the dialog offers as it opens; it is then cancelled.
    const auto offered = [] {
        QStringList selected;
        QTimer::singleShot(0, [&selected] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            selected = dialog->selectedFiles();
            dialog->reject();
        });
        EXPECT_EQ(SavePanel::run("Kestrune-week.png", "PNG (*.png)", "png"), QString());
        return selected;
    };

    // Named, but never made.
    EXPECT_EQ(offered(), QStringList { home.filePath("Kestrune-week.png") });
    ASSERT_TRUE(QDir(home.path()).mkpath("Bilder"));
    EXPECT_EQ(offered(), QStringList { home.filePath("Bilder/Kestrune-week.png") });
}
