#pragma once

#include <QString>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>

namespace kestrune {

// Opens a link or a file in the application the desktop has for it, through the desktop's
// opener program, and tells whether it really opened. The opener starting says nothing: with
// no browser it starts, fails and ends with an error status. So a link counts as opened when
// the opener ends well, or when it still runs after a short while: then it keeps the
// application it started in its own foreground, and that application has the link.
class DesktopOpener {
public:
    // How a caller opens a link: true once something on the desktop took it.
    using Open = std::function<QCoro::Task<bool>(QUrl url)>;

    // xdg-open.
    static Open system();

    // Runs `program` with the link (a file as its path) as its one argument, without a shell.
    // False when it cannot start, crashes or ends with a status other than 0.
    static QCoro::Task<bool> open(QString program, QUrl url,
                                  std::chrono::milliseconds settle = std::chrono::seconds(3));
};

} // namespace kestrune
