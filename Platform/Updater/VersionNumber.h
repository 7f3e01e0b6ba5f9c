#pragma once

#include <QString>
#include <QStringList>

#include <compare>
#include <optional>

namespace kestrune {

// A release number such as "0.10.2": decimal parts separated by dots, compared part by part
// as numbers, with missing parts read as zero ("0.10.0" is newer than "0.9.9", "1.0" equals
// "1.0.0"). Parts of any length compare correctly; nothing is converted to a machine integer.
class VersionNumber {
public:
    // Nothing unless the text (blanks around it aside) is such a number.
    static std::optional<VersionNumber> parse(const QString& text);

    QString toString() const { return m_text; }

    std::strong_ordering operator<=>(const VersionNumber& other) const;
    bool operator==(const VersionNumber& other) const { return (*this <=> other) == 0; }

private:
    QString m_text;
    QStringList m_parts; // without leading zeros; "0" for zero
};

} // namespace kestrune
