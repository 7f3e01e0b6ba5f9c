#include "Foundation/Graphemes.h"

#include <QTextBoundaryFinder>

namespace kestrune {

qsizetype Graphemes::count(const QString& text)
{
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype clusters = 0;
    while (finder.toNextBoundary() != -1)
        ++clusters;
    return clusters;
}

QString Graphemes::prefix(const QString& text, qsizetype limit)
{
    if (limit <= 0)
        return QString();
    // Every cluster holds at least one code unit, so a text this short cannot exceed the limit.
    if (text.size() <= limit)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype clusters = 0;
    qsizetype end = 0;
    while (clusters < limit) {
        const qsizetype next = finder.toNextBoundary();
        if (next == -1)
            return text;
        end = next;
        ++clusters;
    }
    return text.left(end);
}

QString Graphemes::prefix(const QString& text, qsizetype limit, qsizetype maxCodeUnits)
{
    if (limit <= 0 || maxCodeUnits <= 0)
        return QString();
    // A boundary depends on what comes before it and on the one character after it, which may
    // take two code units: so much of the text finds every boundary up to the bound.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, QStringView(text).left(maxCodeUnits + 2));
    qsizetype clusters = 0;
    qsizetype end = 0;
    while (clusters < limit) {
        const qsizetype next = finder.toNextBoundary();
        if (next == -1 || next > maxCodeUnits)
            break;
        end = next;
        ++clusters;
    }
    return text.left(end);
}

} // namespace kestrune
