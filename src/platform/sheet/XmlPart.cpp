#include "platform/sheet/XmlPart.h"

#include "platform/sheet/Messages.h"

namespace sheet::detail {

XmlPart::XmlPart(ZipArchive& zip, const QString& name, bool optional)
    : name_(name), device_(zip.open(name)) {
    if (!device_ && !optional) {
        throwDamaged(QStringLiteral("the part %1 is missing").arg(name));
    }
    if (device_) {
        QByteArray all;
        char chunk[65536];
        for (qint64 n; (n = device_->read(chunk, sizeof chunk)) > 0;) {
            all.append(chunk, n);
        }
        throwIfFailed(*device_);
        xml_.addData(all);
    }
}

bool XmlPart::readNext() {
    if (!device_) {
        return false;
    }
    const auto token = xml_.readNext();
    if (token == QXmlStreamReader::DTD) {
        throwDamaged(QStringLiteral("the part %1 declares a document type, which no "
                                    "spreadsheet does")
                         .arg(name_));
    }
    if (xml_.hasError()) {
        fail();
    }
    return token != QXmlStreamReader::EndDocument;
}

QString XmlPart::readText() {
    QString text = xml_.readElementText(QXmlStreamReader::IncludeChildElements);
    if (xml_.hasError()) {
        fail();
    }
    return text;
}

void XmlPart::fail() {
    throwIfFailed(*device_);
    throwDamaged(QStringLiteral("the part %1 is not well-formed XML: %2 at line %3")
                     .arg(name_, xml_.errorString())
                     .arg(xml_.lineNumber()));
}

} // namespace sheet::detail
