#pragma once

#include <QString>
#include <QStringList>

namespace testing_support {

// One run of the database tool: its exit code (-1 when it crashed or did not finish within
// five minutes) and what it printed.
struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
    bool ok() const { return exitCode == 0; }
};

ToolRun runTool(const QStringList& args);

} // namespace testing_support
