#pragma once

#include "platform/db/Backend.h"

namespace db {

// T-SQL's "If [Not] Exists (select ...) [Begin] statement [End]" for servers that cannot run
// it as written: the condition is queried on the session, then the statement runs when it
// holds, the condition checked again inside a unit of work. False when the text is no such
// statement; DbError when it is one that does not parse.
bool runClientSideIf(Session& session, const QString& statementName, const SqlText& sql,
                     const Params& params, ResultSet* out);

// Session::check() for such a statement: the condition is checked, and the statement too
// when it would run (a statement that adds a missing column cannot be checked once the
// column is there). False when the text is no such statement.
bool checkClientSideIf(Session& session, const QString& statementName, const SqlText& sql);

} // namespace db
