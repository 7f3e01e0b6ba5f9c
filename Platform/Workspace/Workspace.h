#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <optional>

namespace kestrune {

// An application as the desktop presents it. Either name may be unknown (empty).
struct RunningApplication {
    QString localizedName;   // the name the user knows it by
    QString executablePath;  // the program file it runs
    qint64 pid = 0;          // the process behind its window; 0 when unknown

    bool operator==(const RunningApplication&) const = default;
};

// The user's desktop as the power saver needs it: which application is in front, and a
// notice whenever another one comes to the front. Where the desktop cannot tell (no display,
// a compositor that keeps it private), there is no frontmost application and no notice.
class Workspace : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    virtual std::optional<RunningApplication> frontmostApplication() const = 0;

    // The processes of the applications whose processes are `pids`: each of them that runs
    // and all its descendants. An application's helpers (a browser's content processes) are
    // rarely named after it, but they are its children. From `procRoot` (a /proc or a tree
    // laid out like it).
    static QSet<qint64> processTrees(const QList<qint64>& pids, const QString& procRoot = QStringLiteral("/proc"));

signals:
    // Another application came to the front.
    void applicationActivated(const kestrune::RunningApplication& application);
};

} // namespace kestrune
