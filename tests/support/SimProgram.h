#pragma once

#include <QString>
#include <QStringList>

namespace kestrune::test {

// The simulated machine's program (tools/kestrune-sim) as this build made it.
class SimProgram {
public:
    static QString path();
    static bool isBuilt();
    // Runs one command ("tree", "plug", "unplug", "load", ...) to its end; true when it
    // succeeded. Its errors go to the test's own output.
    static bool run(const QStringList& arguments);
};

} // namespace kestrune::test
