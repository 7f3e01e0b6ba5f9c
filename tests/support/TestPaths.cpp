#include "tests/support/TestPaths.h"

namespace kestrune::test {

QString buildDir()
{
    return QStringLiteral(KESTRUNE_BUILD_DIR);
}

QString sourceDir()
{
    return QStringLiteral(KESTRUNE_SOURCE_DIR);
}

} // namespace kestrune::test
