// Readers of the zip and compound-file formats, not available in this build yet.
#include "platform/sheet/Readers.h"

namespace sheet::detail {

UsedRange readZipWorkbook(const QByteArray&, const Limits&) {
    throw SheetError(QStringLiteral("xlsx and ods files cannot be read yet; save the sheet as "
                                    "csv."));
}

UsedRange readCompoundFile(const QString&, const QByteArray&, const Limits&) {
    throw SheetError(QStringLiteral("xls files cannot be read yet; save the sheet as csv."));
}

} // namespace sheet::detail
