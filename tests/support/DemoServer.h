#pragma once

#include "support/QtPrinters.h"

#include <QString>

namespace testing_support {

// A demo server built by ordertool-db once per test process, in a temporary folder that
// is removed when the process ends. Returns the folder; tests that write to it should
// use freshDemoServer() instead.
QString sharedDemoServer();

// A new demo server of its own for a test that changes data.
QString freshDemoServer();

// "sqlite:<folder>"
inline QString serverName(const QString& folder) {
    return QStringLiteral("sqlite:") + folder;
}

} // namespace testing_support
