#pragma once

// One XML part of a zip package, inflated whole (within the zip limits) and parsed, with the checks
// every part gets: no document type declaration (no spreadsheet needs one, and it is how entity
// bombs arrive), well-formed to the end, and the zip's own limits on the bytes behind it.
#include "platform/sheet/ZipArchive.h"

#include <QXmlStreamReader>
#include <memory>

namespace sheet::detail {

class XmlPart {
public:
    // A missing part reads as an empty document when optional, else the file is damaged.
    XmlPart(ZipArchive& zip, const QString& name, bool optional = false);

    bool exists() const { return device_ != nullptr; }
    QXmlStreamReader& xml() { return xml_; }
    // The next token; false at the end of the document. Throws SheetError on any fault.
    bool readNext();
    // The text of the current element (which holds text only), checked like readNext.
    QString readText();

private:
    [[noreturn]] void fail();

    QString name_;
    std::unique_ptr<QIODevice> device_;
    QXmlStreamReader xml_;
};

} // namespace sheet::detail
