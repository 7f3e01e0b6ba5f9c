#include "Platform/SavePanel/SavePanel.h"

#include <QFileDialog>

namespace kestrune {

QString SavePanel::run(const QString& fileName, const QString& nameFilter, const QString& defaultSuffix, QWidget* parent)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(nameFilter);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

} // namespace kestrune
