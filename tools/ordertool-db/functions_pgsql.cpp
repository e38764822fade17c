#include "functions_pgsql.h"

#include "platform/db/Backend.h"

namespace dbtool {

const std::vector<const char*>& pgsqlFunctionStatements() {
    static const std::vector<const char*> statements = {
        // Text compared without regard to case, as the chain's server compares it.
        "CREATE EXTENSION IF NOT EXISTS citext WITH SCHEMA public",
        // The time of the call, not of the transaction's start; the session's time zone is
        // the workstation's, so it reads as the workstation's clock does.
        "CREATE OR REPLACE FUNCTION public.getdate() RETURNS timestamp(3) LANGUAGE sql "
        "VOLATILE AS 'SELECT clock_timestamp()::timestamp(3)'",
        // Trailing blanks do not count.
        "CREATE OR REPLACE FUNCTION public.len(text) RETURNS integer LANGUAGE sql IMMUTABLE "
        "STRICT AS $$SELECT length(rtrim($1, ' '))$$",
        // anycompatible lets IsNull(numeric column, 0) find a common type.
        "CREATE OR REPLACE FUNCTION public.isnull(anycompatible, anycompatible) RETURNS "
        "anycompatible LANGUAGE sql IMMUTABLE AS 'SELECT coalesce($1, $2)'",
        // CREATE OPERATOR has no OR REPLACE.
        "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_operator WHERE oprname = '+' AND "
        "oprleft = 'text'::regtype AND oprright = 'text'::regtype) THEN CREATE OPERATOR "
        "public.+ (LEFTARG = text, RIGHTARG = text, FUNCTION = textcat); END IF; END $$",
    };
    return statements;
}

void createPgsqlFunctions(db::Session& session) {
    for (const char* sql : pgsqlFunctionStatements()) {
        session.execute(QStringLiteral("server functions"), db::SqlText(QString::fromUtf8(sql)),
                        db::Params());
    }
}

} // namespace dbtool
