#pragma once

#include "Platform/Opener/DesktopOpener.h"

#include <QList>
#include <QObject>
#include <QUrl>

namespace kestrune::test {

// Stands in for the browser or the file manager: a URL handler (QDesktopServices::setUrlHandler
// with the slot "open") or a desktop opener (opener()) that records the links it is asked to
// open, in order.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;
    // Whether the opener takes what it is asked to open; a link it refuses is only counted.
    bool takes = true;
    int refused = 0;

    // Must not outlive the recorder.
    DesktopOpener::Open opener();

public slots:
    void open(const QUrl& url);

private:
    QCoro::Task<bool> take(QUrl url);
};

} // namespace kestrune::test
