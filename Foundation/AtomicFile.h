#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <optional>

namespace kestrune {

// Writes a whole file or nothing: the bytes go to a temporary file beside it, which replaces
// the old file only once every byte is on disk. A failed write leaves the old file as it was.
class AtomicFile {
public:
    // `permissions`, when given, apply before any byte is written (a private file is never
    // readable by others, not even for a moment). False on any failure.
    static bool write(const QString& path, const QByteArray& data,
                      std::optional<QFileDevice::Permissions> permissions = std::nullopt);
};

} // namespace kestrune
