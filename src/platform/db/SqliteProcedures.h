#pragma once

#include "platform/db/Params.h"

namespace db {

class SqliteSession;

// The embedded server's stored procedures, written in C++ against its tables:
// MENUCAPTION, AddErrorLog, NewDocumentNo and ServerTime.
struct SqliteProcedures {
    // Throws DbError "Could not find stored procedure" for an unknown name or one whose
    // tables the session's database does not hold.
    static void call(SqliteSession& session, const QString& name, Params& params);

    // The number text made from a DocumentNo row: prefix, two-digit year, running number
    // padded with zeros to the document length.
    static QString formatDocumentNo(const QString& prefix, int year, qint64 number, int length);
};

} // namespace db
