#include "Platform/Network/ReplyDeadline.h"

#include <QNetworkReply>
#include <QTimer>

namespace kestrune {

namespace {

constexpr auto expiredProperty = "kestrune.deadlineExpired";

} // namespace

void ReplyDeadline::arm(QNetworkReply* reply, std::chrono::milliseconds timeout)
{
    // The timer goes with the reply, so a reply already deleted is never touched.
    QTimer::singleShot(timeout, reply, [reply] {
        if (reply->isFinished())
            return;
        reply->setProperty(expiredProperty, true);
        reply->abort();
    });
}

bool ReplyDeadline::expired(const QNetworkReply* reply)
{
    return reply->property(expiredProperty).toBool();
}

} // namespace kestrune
