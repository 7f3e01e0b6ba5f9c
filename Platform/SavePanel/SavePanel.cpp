#include "Platform/SavePanel/SavePanel.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace kestrune {

QString SavePanel::run(const QString& fileName, const QString& nameFilter, const QString& defaultSuffix, QWidget* parent)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(nameFilter);
    dialog.setDefaultSuffix(defaultSuffix);
    // Without a folder the dialog would open wherever the program was started from.
    dialog.setDirectory(startFolder());
    dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

QString SavePanel::startFolder()
{
    // The Pictures folder is named even where it was never made.
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return !pictures.isEmpty() && QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
}

} // namespace kestrune
