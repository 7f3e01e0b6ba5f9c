#include "Platform/SavePanel/SavePanel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kestrune;

namespace {

// What the dialog showed when it opened; it is then cancelled.
struct Opened {
    QString folder;
    QStringList selected;
};

Opened openAndCancel()
{
    Opened opened;
    QTimer::singleShot(0, [&opened] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        opened.folder = dialog->directory().absolutePath();
        opened.selected = dialog->selectedFiles();
        dialog->reject();
    });
    EXPECT_EQ(SavePanel::run("Kestrune-week.png", "PNG (*.png)", "png"), QString()) << "cancelled";
    return opened;
}

} // namespace

TEST(SavePanel, OpensInThePicturesFolderElseAtHomeWithTheNameFilledIn)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(".config")));
    ASSERT_TRUE(QDir(home.path()).mkpath(".config"));
    QFile dirs(home.filePath(".config/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    dirs.close();

    // The folder is named but not made yet: home.
    Opened opened = openAndCancel();
    EXPECT_EQ(opened.folder, QDir(home.path()).absolutePath());
    EXPECT_EQ(opened.selected, QStringList { home.filePath("Kestrune-week.png") });

    ASSERT_TRUE(QDir(home.path()).mkpath("Bilder"));
    opened = openAndCancel();
    EXPECT_EQ(opened.folder, home.filePath("Bilder"));
    EXPECT_EQ(opened.selected, QStringList { home.filePath("Bilder/Kestrune-week.png") });

    qputenv("HOME", oldHome);
    qunsetenv("XDG_CONFIG_HOME");
}
