#include "Foundation/AtomicFile.h"

#include <QSaveFile>

namespace kestrune {

bool AtomicFile::write(const QString& path, const QByteArray& data, std::optional<QFileDevice::Permissions> permissions)
{
    // Unbuffered, so that a short write (a full disk, a file size limit) shows in the count:
    // a buffered QSaveFile flushes at commit and takes a short write there for success.
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
        && (!permissions || file.setPermissions(*permissions))
        && file.write(data) == data.size()
        && file.commit();
}

} // namespace kestrune
