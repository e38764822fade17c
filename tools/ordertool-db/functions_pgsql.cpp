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
        // The stored procedures the workstations call, as functions returning one row: a
        // column per output, and "result" for the return code. Each reads the tables of the
        // session's database and is missing (SQLSTATE 42883) where its table is.
        //
        // The next number of a document code and year: prefix, two-digit year and the
        // running number padded with zeros to the document length. The count is bumped by
        // an UPDATE, whose row lock holds other workstations until this transaction ends.
        // A year without a row starts from the code's latest row with the count at zero;
        // the row is made under an advisory lock on the code and year, so two workstations
        // drawing the first number of a year at once make it once, with or without a unique
        // key on (Code, DocYear).
        R"sql(CREATE OR REPLACE FUNCTION public.newdocumentno(p_code text, p_year integer,
    OUT newno text, OUT result integer) LANGUAGE plpgsql VOLATILE AS $fn$
#variable_conflict use_column
DECLARE
    v_prefix text;
    v_no bigint;
    v_length integer;
    v_width integer;
BEGIN
    IF to_regclass('documentno') IS NULL THEN
        RAISE EXCEPTION 'Could not find stored procedure ''NewDocumentNo''.'
            USING ERRCODE = 'undefined_function';
    END IF;
    UPDATE documentno SET lastno = coalesce(lastno, 0) + 1
        WHERE code::public.citext = p_code::public.citext AND docyear = p_year
        RETURNING prefix, lastno, documentlength INTO v_prefix, v_no, v_length;
    IF NOT FOUND THEN
        PERFORM pg_advisory_xact_lock(hashtext('documentno:' || lower(p_code)), p_year);
        -- Made meanwhile by the workstation that held the lock.
        UPDATE documentno SET lastno = coalesce(lastno, 0) + 1
            WHERE code::public.citext = p_code::public.citext AND docyear = p_year
            RETURNING prefix, lastno, documentlength INTO v_prefix, v_no, v_length;
    END IF;
    IF NOT FOUND THEN
        INSERT INTO documentno(code, docyear, description, prefix, lastno, documentlength,
                               autorun)
            SELECT code, p_year, description, prefix, 0, documentlength, autorun
            FROM documentno WHERE code::public.citext = p_code::public.citext
            ORDER BY docyear DESC LIMIT 1
            ON CONFLICT DO NOTHING;
        UPDATE documentno SET lastno = coalesce(lastno, 0) + 1
            WHERE code::public.citext = p_code::public.citext AND docyear = p_year
            RETURNING prefix, lastno, documentlength INTO v_prefix, v_no, v_length;
        IF NOT FOUND THEN
            RAISE EXCEPTION 'Document code ''%'' has no numbering row.', p_code;
        END IF;
    END IF;
    v_prefix := coalesce(v_prefix, '');
    v_width := greatest(1, coalesce(v_length, 0) - length(v_prefix) - 2);
    newno := v_prefix || lpad((p_year % 100)::text, 2, '0')
        || CASE WHEN length(v_no::text) >= v_width THEN v_no::text
                ELSE lpad(v_no::text, v_width, '0') END;
    result := 0;
END
$fn$)sql",
        // The caption of a menu and the user's rights on it, with the user's code and
        // salesman; all empty for a menu that does not exist.
        R"sql(CREATE OR REPLACE FUNCTION public.menucaption(p_menu integer, p_user integer,
    OUT caption text, OUT access_r text, OUT add_r text, OUT modify_r text,
    OUT delete_r text, OUT usercode text, OUT salesid bigint, OUT result integer)
    LANGUAGE plpgsql STABLE AS $fn$
#variable_conflict use_column
BEGIN
    IF to_regclass('menuright') IS NULL THEN
        RAISE EXCEPTION 'Could not find stored procedure ''MENUCAPTION''.'
            USING ERRCODE = 'undefined_function';
    END IF;
    SELECT m.caption::text, r.access_r::text, r.add_r::text, r.modify_r::text,
           r.delete_r::text, u.code::text, u.saleman::bigint
        INTO caption, access_r, add_r, modify_r, delete_r, usercode, salesid
        FROM menu m
        LEFT JOIN menuright r ON r.menuid = m.id AND r.userid = p_user
        LEFT JOIN username u ON u.id = p_user
        WHERE m.id = p_menu;
    result := 0;
END
$fn$)sql",
        // One line of the error log, stamped with the workstation's clock.
        R"sql(CREATE OR REPLACE FUNCTION public.adderrorlog(p_comp text, p_log text,
    p_user integer, p_menu integer, p_message text, OUT result integer)
    LANGUAGE plpgsql VOLATILE AS $fn$
BEGIN
    IF to_regclass('errorlog') IS NULL THEN
        RAISE EXCEPTION 'Could not find stored procedure ''AddErrorLog''.'
            USING ERRCODE = 'undefined_function';
    END IF;
    INSERT INTO errorlog(logtime, compname, logname, userid, menuid, errormsg)
        VALUES (clock_timestamp()::timestamp(3), p_comp, p_log, p_user, p_menu, p_message);
    result := 0;
END
$fn$)sql",
        // The clock of the server, read in the session's (the workstation's) time zone.
        R"sql(CREATE OR REPLACE FUNCTION public.servertime(OUT servertime timestamp(3),
    OUT result integer) LANGUAGE plpgsql VOLATILE AS $fn$
BEGIN
    servertime := clock_timestamp()::timestamp(3);
    result := 0;
END
$fn$)sql",
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
