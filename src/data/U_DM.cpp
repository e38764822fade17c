#include "data/U_DM.h"

#include "data/Dm_Config.h"
#include "platform/db/DbError.h"
#include "util/Text.h"
#include "util/Workstation.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <cstdio>

TDM* DM = nullptr;

namespace {

struct Translation {
    const char* fragment;
    const char* explanation;
};

// Known messages, tried in this order; the first whose fragment occurs wins.
const Translation kTranslations[] = {
    {"is not a valid date", "ป้อนวันที่ไม่ถูกต้อง"},
    {"Cannot insert the value NULL into column 'Transportation'", "ไม่ได้ป้อนข้อมูลการขนส่ง"},
    {"Cannot insert the value NULL into column 'Price'", "กำหนดราคาไม่ครบถ้วน"},
    {"Cannot insert the value NULL into column 'Warehouse'", "ไม่ได้ป้อนข้อมูลคลัง"},
    {"Cannot insert the value NULL into column 'Customer'", "ไม่ได้ป้อนข้อมูลลูกค้า"},
    {"Cannot insert the value NULL into column 'Vendor'", "ไม่ได้ป้อนข้อมูลเจ้าหนี้"},
    {"Cannot insert the value NULL into column 'Fraction'", "ไม่ได้ป้อนข้อมูลหน่วย หรือ ข้อมูลหน่วยผิดพลาด"},
    {"Cannot insert the value NULL into column 'Salesman'", "ไม่ได้ป้อนข้อมูลพนักงานขาย"},
    {"Possible network error", "ระบบเครือข่าย หรือ คอมพิวเตอร์แม่ข่ายมีปัญหา ติดต่อเครื่องแม่ข่ายไม่ได้"},
    {"DELETE statement conflicted with COLUMN REFERENCE",
     "ข้อมูลที่ลบถูกอ้างโดยข้อมูลอื่น ไม่สามารถลบข้อมูลนี้ได้"},
    {"Printer selected is not valid", "ยังไม่ได้กำหนดเครื่องพิมพ์ หรือ เครื่องพิมพ์มีปัญหา"},
    {"Insufficient memory", "Memory หน่วยความจำของเครื่องไม่เพียงพอ"},
    {"SQL Server connection timed out", "เครื่องแม่ข่ายตัดการติดต่อ เพราะเครื่องนี้อาจเรียกข้อมูลปริมาณมากเกินไป"},
    {"Cannot insert duplicate", "ข้อมูลที่เพิ่มซ้ำกับข้อมูลที่มีอยู่แล้ว"},
};

QString messageOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const db::DbError& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

bool isSilentAbort(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const ui::SilentAbort&) {
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

TDM::TDM(QObject* parent) : QObject(parent) {
    CommandLine = QCoreApplication::arguments();
    Due();
    DMdata.beforeConnect = [this](db::Connection& c) { DMdataBeforeConnect(c); };
    DMdata.afterConnect = [this](db::Connection& c) { DMdataAfterConnect(c); };

    QDocumentNo.setObjectName(QStringLiteral("QDocumentNo"));
    QDocumentNo.setConnectionName(QStringLiteral("DMDATA"));
    QDocumentNo.setSql(db::SqlSource(
        "SELECT D.Code, D.Description, D.Prefix, D.LastNo, D.DocumentLength, D.AutoRun\n"
        "FROM DocumentNo D\n"
        "WHERE (D.Code = :GetCode) And (DocYear=:GetYear)"));

    using db::FieldType;
    using db::ParamDirection;
    SpNextDocNo.setObjectName(QStringLiteral("SpNextDocNo"));
    SpNextDocNo.setConnectionName(QStringLiteral("DMDATA"));
    SpNextDocNo.setProcedureName(QStringLiteral("NewDocumentNo"));
    SpNextDocNo.addParam(QStringLiteral("Result"), FieldType::Integer, ParamDirection::Result);
    SpNextDocNo.addParam(QStringLiteral("@DocCode"), FieldType::Text, ParamDirection::Input);
    SpNextDocNo.addParam(QStringLiteral("@DocYear"), FieldType::Integer, ParamDirection::Input);
    SpNextDocNo.addParam(QStringLiteral("@NewNo"), FieldType::Text, ParamDirection::Output);

    SpServerTime.setObjectName(QStringLiteral("SpServerTime"));
    SpServerTime.setConnectionName(QStringLiteral("DMDATA"));
    SpServerTime.setProcedureName(QStringLiteral("ServerTime"));
    SpServerTime.addParam(QStringLiteral("Result"), FieldType::Integer, ParamDirection::Result);
    SpServerTime.addParam(QStringLiteral("@ServerTime"), FieldType::DateTime,
                          ParamDirection::Output);
}

TDM::~TDM() {
    if (DM == this) {
        DM = nullptr;
    }
}

void TDM::Due() {
    DialogColor = ui::Rgb{0, 0, 255};
}

void TDM::DMdataBeforeConnect(db::Connection& connection) {
    BusinessDatabase = CommandLine.value(3).trimmed();
    QString server = DmConfig ? DmConfig->ReadServerDat() : QString();
    if (server.isEmpty()) {
        server = TDMConfig::defaultServerName();
    }
    connection.params().clear();
    connection.params() << QStringLiteral("DATABASE NAME=") + BusinessDatabase
                        << connectionParameterList(server, 1200);
}

// The company settings, accounting periods and currencies the module could load here are
// read by nothing in this program, so the step loads nothing.
void TDM::DMdataAfterConnect(db::Connection&) {}

bool TDM::ConfirmDialog(const QString& text) {
    return ui::Prompts::current().confirm(
        {text, ui::MessageKind::Confirmation, DialogColor, ui::Rgb{255, 255, 255}});
}

QString TDM::NextDocumentNo(const QString& code, const QDateTime& date) {
    SpNextDocNo.close();
    SpNextDocNo.paramByName(QStringLiteral("@DocCode")).value = code;
    SpNextDocNo.paramByName(QStringLiteral("@DocYear")).value = YearOf(date);
    SpNextDocNo.execute();
    return SpNextDocNo.paramByName(QStringLiteral("@NewNo")).asString();
}

QDateTime TDM::ServerDateTime() {
    SpServerTime.close();
    SpServerTime.execute();
    return SpServerTime.paramByName(QStringLiteral("@ServerTime")).asDateTime();
}

QString TDM::explainError(const QString& message) {
    const QString upper = util::upperAscii(message);
    for (const Translation& t : kTranslations) {
        if (upper.contains(util::upperAscii(QString::fromUtf8(t.fragment)))) {
            return QString::fromUtf8(t.explanation);
        }
    }
    return {};
}

QString TDM::errorDialogText(const QString& message) {
    const QChar cr(13);
    return explainError(message) + cr + util::upperAscii(message) + cr;
}

void TDM::ApplicationEvents1Exception(const std::exception_ptr& error) {
    if (!error || isSilentAbort(error)) {
        return;
    }
    const QString message = messageOf(error);
    if (handling_) {
        // An error raised while an error is being shown is reported, never re-entered.
        std::fprintf(stderr, "error while handling an error: %s\n",
                     message.toLocal8Bit().constData());
        return;
    }
    handling_ = true;
    auto reset = qScopeGuard([this] { handling_ = false; });
    try {
        if (!DmConfig) {
            throw std::runtime_error("no configuration module");
        }
        DmConfig->WriteErrorLog(message);
    } catch (...) {
        // The log is out of reach: the user still sees the original error.
        std::fprintf(stderr, "error log not written (%s); error was: %s\n",
                     messageOf(std::current_exception()).toLocal8Bit().constData(),
                     message.toLocal8Bit().constData());
    }
    const QString text = errorDialogText(message);
    try {
        if (showErrorDialog) {
            showErrorDialog(text);
        } else {
            ui::Prompts::current().message({text, ui::MessageKind::Error});
        }
    } catch (...) {
        std::fprintf(stderr, "error dialog failed: %s\n", text.toLocal8Bit().constData());
    }
}
