#include "Kestrune/UI/PlainText.h"

#include <QLabel>
#include <QTextDocument>

namespace kestrune {

QLabel* PlainText::apply(QLabel* label)
{
    label->setTextFormat(Qt::PlainText);
    return label;
}

void PlainText::setToolTip(QWidget* widget, const QString& text)
{
    widget->setToolTip(toolTip(text));
}

QString PlainText::toolTip(const QString& text)
{
    // A tooltip has no plain format of its own: a text Qt would read as markup goes in as
    // markup that says exactly this text.
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text) : text;
}

} // namespace kestrune
