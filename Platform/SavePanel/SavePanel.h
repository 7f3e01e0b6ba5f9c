#pragma once

#include <QString>

class QWidget;

namespace kestrune {

// The desktop's save dialog: asks where to save a file of one type.
class SavePanel {
public:
    // Shows the dialog modally in startFolder() with `fileName` filled in, only `nameFilter`
    // offered and `defaultSuffix` added to a name typed without one. The dialog itself asks
    // before an existing file is replaced. Answers the chosen path, or empty when the user
    // cancelled.
    static QString run(const QString& fileName, const QString& nameFilter, const QString& defaultSuffix,
                       QWidget* parent = nullptr);

    // The user's Pictures folder (XDG), or the home folder where there is none.
    static QString startFolder();
};

} // namespace kestrune
