#include "Kestrune/UI/UpdateDialogDriver.h"

#include "Foundation/Localized.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>

namespace kestrune {

UpdateDialogDriver::~UpdateDialogDriver()
{
    delete m_dialog;
}

QMessageBox* UpdateDialogDriver::present(const QString& text, const QString& detail)
{
    delete m_dialog;
    auto* box = new QMessageBox;
    box->setObjectName(QStringLiteral("updateDialog"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(Localized::text("アップデートの確認"));
    // One plain-text label: the detail may carry text from the network.
    box->setTextFormat(Qt::PlainText);
    box->setText(text + QStringLiteral("\n\n") + detail);
    m_dialog = box;
    return box;
}

void UpdateDialogDriver::showUpToDate(const QString& currentVersion)
{
    QMessageBox* box = present(Localized::text("お使いのKestruneは最新です"),
                               Localized::fmt("Kestrune %@ が最新のバージョンです。", currentVersion));
    box->setIcon(QMessageBox::Information);
    box->setStandardButtons(QMessageBox::Ok);
    box->show();
}

void UpdateDialogDriver::showUpdateAvailable(const QString& version, const QUrl& page, const QString& currentVersion)
{
    QMessageBox* box = present(Localized::text("新しいバージョンのKestruneがあります"),
                               Localized::fmt("Kestrune %1$@ が公開されています(お使いのバージョンは %2$@)。"
                                              "ディストリビューションのパッケージから更新できます。",
                                              version, currentVersion));
    box->setIcon(QMessageBox::Information);
    QPushButton* open = box->addButton(Localized::text("ダウンロードページを開く"), QMessageBox::AcceptRole);
    open->setObjectName(QStringLiteral("openPage"));
    box->addButton(QMessageBox::Close);
    box->setDefaultButton(open);
    QObject::connect(open, &QPushButton::clicked, open, [page] { QDesktopServices::openUrl(page); });
    box->show();
}

void UpdateDialogDriver::showUpdateError(const QString& message)
{
    QMessageBox* box = present(Localized::text("アップデートを確認できませんでした"), message);
    box->setIcon(QMessageBox::Warning);
    box->setStandardButtons(QMessageBox::Ok);
    box->show();
}

} // namespace kestrune
