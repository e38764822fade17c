#pragma once

// The words every reader uses for the same problem, so a user sees one message per cause.
#include "platform/sheet/Sheet.h"

namespace sheet::detail {

[[noreturn]] inline void throwNotSpreadsheet() {
    throw SheetError(QStringLiteral("This is not a spreadsheet file (xlsx, xlsm, xls, ods, csv "
                                    "or txt)."));
}

[[noreturn]] inline void throwPasswordProtected() {
    throw SheetError(QStringLiteral("The spreadsheet is password-protected; save it again "
                                    "without a password and read that copy."));
}

// what: the damage found, for whoever looks into the file.
[[noreturn]] inline void throwDamaged(const QString& what) {
    throw SheetError(
        QStringLiteral("The spreadsheet file is damaged or incomplete (%1); save it again or "
                       "ask for a new copy.")
            .arg(what));
}

[[noreturn]] inline void throwTooLarge(const QString& what) {
    throw SheetError(QStringLiteral("The spreadsheet file is too large to be read: %1.").arg(what));
}

} // namespace sheet::detail
