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
        // The catalogue the upgrade and configuration checks read, as the chain's server
        // names it: the databases of the system (the schemas) and the tables, views and
        // columns of the session's own database (the schema searched first).
        "CREATE OR REPLACE VIEW public.sysdatabases AS SELECT upper(n.nspname)::citext AS name, "
        "n.oid::bigint AS dbid FROM pg_namespace n WHERE n.nspname NOT LIKE 'pg\\_%' AND "
        "n.nspname NOT IN ('information_schema', 'public')",
        "CREATE OR REPLACE VIEW public.sysobjects AS SELECT c.oid::bigint AS id, "
        "c.relname::citext AS name, CASE c.relkind WHEN 'v' THEN 'V' ELSE 'U' END AS xtype "
        "FROM pg_class c WHERE c.relkind IN ('r', 'v', 'p') AND c.relnamespace = (SELECT oid "
        "FROM pg_namespace WHERE nspname = current_schema())",
        "CREATE OR REPLACE VIEW public.syscolumns AS SELECT a.attrelid::bigint AS id, "
        "a.attname::citext AS name, a.attnum::integer AS colid FROM pg_attribute a JOIN "
        "pg_class c ON c.oid = a.attrelid WHERE a.attnum > 0 AND NOT a.attisdropped AND "
        "c.relkind IN ('r', 'v', 'p') AND c.relnamespace = (SELECT oid FROM pg_namespace "
        "WHERE nspname = current_schema())",
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
