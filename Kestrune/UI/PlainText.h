#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace kestrune {

// Text that comes from the backend, a restored state, a process or the user, shown as the
// characters it holds. Qt takes a text that looks like markup for markup wherever it is left
// to guess, in a label of the default format and in every tooltip: a hostile text would draw
// headings and tables there, or load the user's local images.
class PlainText {
public:
    // Makes `label` show every text it is given as it is; answers it.
    static QLabel* apply(QLabel* label);
    // `text` as `widget`'s tooltip, shown character for character; an empty text clears it.
    static void setToolTip(QWidget* widget, const QString& text);
    // `text` in the form a tooltip shows as exactly these characters.
    static QString toolTip(const QString& text);
};

} // namespace kestrune
