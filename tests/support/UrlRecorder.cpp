#include "tests/support/UrlRecorder.h"

namespace kestrune::test {

void UrlRecorder::open(const QUrl& url)
{
    opened << url;
}

} // namespace kestrune::test
