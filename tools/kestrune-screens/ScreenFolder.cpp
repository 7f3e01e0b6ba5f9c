#include "tools/kestrune-screens/ScreenFolder.h"

#include "Kestrune/UI/ContentGrab.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTextStream>

namespace kestrune {

ScreenFolder::ScreenFolder(QString folder, QString language)
    : m_folder(std::move(folder))
    , m_language(std::move(language))
{
}

bool ScreenFolder::write(const QString& screen, const QByteArray& png) const
{
    const QString path = QDir(m_folder).filePath(screen + u'-' + m_language + QStringLiteral(".png"));
    QFile file(path);
    const bool written = !png.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(png) == png.size();
    QTextStream(written ? stdout : stderr) << (written ? "" : "cannot write ") << path << Qt::endl;
    return written;
}

bool ScreenFolder::write(const QString& screen, QWidget& widget) const
{
    const QPixmap picture = ContentGrab::whole(widget);
    QByteArray png;
    QBuffer buffer(&png);
    if (picture.isNull() || !buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG"))
        png.clear();
    return write(screen, png);
}

} // namespace kestrune
