#pragma once

#include <chrono>

class QNetworkReply;

namespace kestrune {

// One deadline for a whole network exchange, from the request to the answer's last byte.
// Qt's transfer time-out fires only while the connection stands idle, so a server that sends
// its answer a byte at a time could hold a request open for as long as it liked.
class ReplyDeadline {
public:
    // Aborts `reply` unless it has finished `timeout` from now.
    static void arm(QNetworkReply* reply, std::chrono::milliseconds timeout);
    // Whether the deadline is what ended `reply`.
    static bool expired(const QNetworkReply* reply);
};

} // namespace kestrune
