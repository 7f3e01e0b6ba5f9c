#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

namespace kestrune {

// Where the screens of one language go: each screen is one PNG named <screen>-<lang>.png.
// Every file written is listed on standard output, every failure on standard error.
class ScreenFolder {
public:
    ScreenFolder(QString folder, QString language);

    QString language() const { return m_language; }

    bool write(const QString& screen, const QByteArray& png) const;
    // Draws `widget` at its width and at the height that shows all its content (scroll areas
    // included), as it would be on screen, and writes it.
    bool write(const QString& screen, QWidget& widget) const;

private:
    QString m_folder;
    QString m_language;
};

// One set of screens: builds its widgets in the language installed and writes them. False
// when one could not be written.
using ScreenSet = bool (*)(const ScreenFolder& folder);

} // namespace kestrune
