#include "tests/support/UrlRecorder.h"

namespace kestrune::test {

void UrlRecorder::open(const QUrl& url)
{
    opened << url;
}

DesktopOpener::Open UrlRecorder::opener()
{
    return [this](QUrl url) { return take(std::move(url)); };
}

QCoro::Task<bool> UrlRecorder::take(QUrl url)
{
    if (takes)
        opened << url;
    else
        ++refused;
    co_return takes;
}

} // namespace kestrune::test
