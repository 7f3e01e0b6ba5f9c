#pragma once

// Readable GoogleTest output for Qt values; included in every test source by the build.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <ostream>

inline void PrintTo(const QString& value, std::ostream* os)
{
    *os << '"' << value.toStdString() << '"';
}

inline void PrintTo(const QByteArray& value, std::ostream* os)
{
    *os << "QByteArray(\"" << value.toHex(' ').toStdString() << "\")";
}

inline void PrintTo(const QStringList& value, std::ostream* os)
{
    *os << '[' << value.join(QStringLiteral(", ")).toStdString() << ']';
}

inline void PrintTo(const QDateTime& value, std::ostream* os)
{
    *os << value.toString(Qt::ISODateWithMs).toStdString();
}

inline void PrintTo(const QVariant& value, std::ostream* os)
{
    *os << "QVariant(" << value.typeName() << ", " << value.toString().toStdString() << ')';
}
