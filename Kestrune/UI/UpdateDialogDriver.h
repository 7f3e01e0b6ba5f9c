#pragma once

#include "Platform/Updater/UpdateUserDriver.h"

#include <QPointer>

class QMessageBox;

namespace kestrune {

// Shows the outcome of an update check in a message box. The box does not block: it stays
// until the user closes it, and a later outcome replaces it.
class UpdateDialogDriver final : public UpdateUserDriver {
public:
    UpdateDialogDriver() = default;
    ~UpdateDialogDriver() override;

    void showUpToDate(const QString& currentVersion) override;
    void showUpdateAvailable(const QString& version, const QUrl& page, const QString& currentVersion) override;
    void showUpdateError(const QString& message) override;

    // The box on screen, if any.
    QMessageBox* dialog() const { return m_dialog; }

private:
    QMessageBox* present(const QString& text, const QString& detail);

    QPointer<QMessageBox> m_dialog;
};

} // namespace kestrune
