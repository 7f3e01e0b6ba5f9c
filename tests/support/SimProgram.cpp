#include "tests/support/SimProgram.h"

#include "tests/support/TestPaths.h"

#include <QFileInfo>
#include <QProcess>

namespace kestrune::test {

QString SimProgram::path()
{
    return buildDir() + QStringLiteral("/tools/kestrune-sim/kestrune-sim");
}

bool SimProgram::isBuilt()
{
    return QFileInfo(path()).isExecutable();
}

bool SimProgram::run(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(path(), arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace kestrune::test
