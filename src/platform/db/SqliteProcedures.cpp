#include "platform/db/SqliteProcedures.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/SqliteSession.h"

#include <QDateTime>

namespace db {

namespace {

void setOutput(Params& params, const QString& name, const QVariant& value) {
    if (Param* p = params.find(name)) {
        p->value = value;
    }
}

QVariant input(const Params& params, const QString& name) {
    const Param* p = params.find(name);
    return p ? p->value : QVariant();
}

// Runs body inside the caller's transaction when one is open, else inside its own, so
// that a number is drawn under the write lock.
template <typename F> void atomically(SqliteSession& s, F&& body) {
    Unit unit(s);
    body();
    unit.commit();
}

void menuCaption(SqliteSession& s, Params& p) {
    const QVariant menuId = input(p, QStringLiteral("MENUID"));
    const QVariant userId = input(p, QStringLiteral("USERID"));
    const ResultSet r = s.query(
        QStringLiteral("SELECT m.Caption, r.Access_R, r.Add_R, r.Modify_R, r.Delete_R, u.Code, "
                       "u.Saleman FROM Menu m "
                       "LEFT JOIN MenuRight r ON r.MenuId = m.Id AND r.UserId = ? "
                       "LEFT JOIN username u ON u.Id = ? WHERE m.Id = ?"),
        {userId, userId, menuId}, QStringLiteral("MENUCAPTION"));
    static const char* outputs[] = {"CAPTION",  "ACCESS_R", "ADD_R",  "MODIFY_R",
                                    "DELETE_R", "USERCODE", "SALESID"};
    for (int i = 0; i < 7; ++i) {
        setOutput(p, QLatin1String(outputs[i]), r.rows.empty() ? QVariant() : r.rows[0][i]);
    }
    setOutput(p, QStringLiteral("Result"), QVariant::fromValue<qint64>(0));
}

void addErrorLog(SqliteSession& s, Params& p) {
    s.query(QStringLiteral("INSERT INTO ErrorLog(LogTime, CompName, LogName, UserId, MenuId, "
                           "ErrorMsg) VALUES (GetDate(), ?, ?, ?, ?, ?)"),
            {input(p, QStringLiteral("CompName")), input(p, QStringLiteral("LogName")),
             input(p, QStringLiteral("UserId")), input(p, QStringLiteral("MenuId")),
             input(p, QStringLiteral("ErrorMsg"))},
            QStringLiteral("AddErrorLog"));
    setOutput(p, QStringLiteral("Result"), QVariant::fromValue<qint64>(0));
}

void newDocumentNo(SqliteSession& s, Params& p) {
    const QString code = input(p, QStringLiteral("DocCode")).toString();
    const qint64 year = variantToInteger(input(p, QStringLiteral("DocYear")));
    const QString name = QStringLiteral("NewDocumentNo");
    atomically(s, [&] {
        const QString bump = QStringLiteral(
            "UPDATE DocumentNo SET LastNo = Coalesce(LastNo, 0) + 1 WHERE Code = ? AND "
            "DocYear = ? RETURNING Prefix, LastNo, DocumentLength");
        ResultSet r = s.query(bump, {code, year}, name);
        if (r.rows.empty()) {
            // A new year starts from the code's latest settings with the count at zero.
            const ResultSet made = s.query(
                QStringLiteral(
                    "INSERT INTO DocumentNo(Code, DocYear, Description, Prefix, LastNo, "
                    "DocumentLength, AutoRun) SELECT Code, ?, Description, Prefix, 0, "
                    "DocumentLength, AutoRun FROM DocumentNo WHERE Code = ? ORDER BY DocYear "
                    "DESC LIMIT 1"),
                {year, code}, name);
            if (made.rowsAffected == 0) {
                throw DbError(QStringLiteral("Document code '%1' has no numbering row.").arg(code),
                              name);
            }
            r = s.query(bump, {code, year}, name);
        }
        const auto& row = r.rows.at(0);
        setOutput(p, QStringLiteral("NewNo"),
                  SqliteProcedures::formatDocumentNo(row[0].toString(), int(year),
                                                     variantToInteger(row[1]),
                                                     int(variantToInteger(row[2]))));
    });
    setOutput(p, QStringLiteral("Result"), QVariant::fromValue<qint64>(0));
}

void serverTime(SqliteSession&, Params& p) {
    setOutput(p, QStringLiteral("ServerTime"), QDateTime::currentDateTime());
    setOutput(p, QStringLiteral("Result"), QVariant::fromValue<qint64>(0));
}

} // namespace

QString SqliteProcedures::formatDocumentNo(const QString& prefix, int year, qint64 number,
                                           int length) {
    const QString yy = QStringLiteral("%1").arg(year % 100, 2, 10, QLatin1Char('0'));
    const int width = std::max<int>(1, length - int(prefix.size()) - 2);
    return prefix + yy + QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
}

void SqliteProcedures::call(SqliteSession& s, const QString& name, Params& params) {
    struct Proc {
        const char* name;
        const char* table; // the procedure exists where its table does
        void (*run)(SqliteSession&, Params&);
    };
    static const Proc procs[] = {
        {"MENUCAPTION", "MenuRight", menuCaption},
        {"ADDERRORLOG", "ErrorLog", addErrorLog},
        {"NEWDOCUMENTNO", "DocumentNo", newDocumentNo},
        {"SERVERTIME", nullptr, serverTime},
    };
    const QString key = name.trimmed().toUpper();
    for (const Proc& proc : procs) {
        if (key == QLatin1String(proc.name) &&
            (!proc.table || s.hasTable(QLatin1String(proc.table)))) {
            proc.run(s, params);
            return;
        }
    }
    throw DbError(QStringLiteral("Could not find stored procedure '%1'.").arg(name), name);
}

} // namespace db
