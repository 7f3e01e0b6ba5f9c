#pragma once

#include <QString>

namespace kestrune {

// "The first N characters" of a text, as the user sees characters: grapheme clusters, so a
// cut never splits a surrogate pair, a base letter from its combining mark or an emoji
// sequence.
class Graphemes {
public:
    // The number of grapheme clusters in `text`.
    static qsizetype count(const QString& text);
    // The first `limit` grapheme clusters of `text` (the whole text when it has no more).
    static QString prefix(const QString& text, qsizetype limit);
    // The same, and no longer than `maxCodeUnits`: one cluster may stack marks without end.
    // Only the start of `text` is read, however long the text is.
    static QString prefix(const QString& text, qsizetype limit, qsizetype maxCodeUnits);
};

} // namespace kestrune
