#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

namespace kestrune::test {

// Stands in for the browser or the file manager: a URL handler (QDesktopServices::setUrlHandler
// with the slot "open") that records the links it is asked to open, in order.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url);
};

} // namespace kestrune::test
