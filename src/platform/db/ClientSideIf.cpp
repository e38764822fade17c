#include "platform/db/ClientSideIf.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"

#include <QRegularExpression>
#include <optional>

namespace db {

namespace {

struct IfExists {
    bool negate = false;
    QString condition;
    QString body;
};

// The parts of "If [Not] Exists (select ...) [Begin] statement [End]"; nothing when the text
// is no such statement.
std::optional<IfExists> parseIfExists(const QString& statementName, const QString& s) {
    static const QRegularExpression head(QStringLiteral("^\\s*if\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto hm = head.match(s);
    if (!hm.hasMatch()) {
        return std::nullopt;
    }
    qsizetype pos = hm.capturedEnd();
    auto skipBlanks = [&] {
        while (pos < s.size() && s[pos].isSpace()) {
            ++pos;
        }
    };
    auto word = [&](const char* w) {
        const QLatin1String lw(w);
        if (s.mid(pos, lw.size()).compare(lw, Qt::CaseInsensitive) == 0 &&
            (pos + lw.size() >= s.size() || !s[pos + lw.size()].isLetterOrNumber())) {
            pos += lw.size();
            return true;
        }
        return false;
    };
    auto matching = [&](qsizetype open) -> qsizetype {
        int depth = 0;
        for (qsizetype i = open; i < s.size(); ++i) {
            const QChar c = s[i];
            if (c == QLatin1Char('\'')) {
                i = s.indexOf(QLatin1Char('\''), i + 1);
                if (i < 0) {
                    return -1;
                }
            } else if (c == QLatin1Char('(')) {
                ++depth;
            } else if (c == QLatin1Char(')') && --depth == 0) {
                return i;
            }
        }
        return -1;
    };
    IfExists parts;
    int wraps = 0;
    skipBlanks();
    while (pos < s.size() && s[pos] == QLatin1Char('(')) {
        ++wraps;
        ++pos;
        skipBlanks();
    }
    parts.negate = word("not");
    skipBlanks();
    if (!word("exists")) {
        throw DbError(QStringLiteral("Incorrect syntax near the keyword 'If'."), statementName);
    }
    skipBlanks();
    const qsizetype close = pos < s.size() && s[pos] == QLatin1Char('(') ? matching(pos) : -1;
    if (close < 0) {
        throw DbError(QStringLiteral("Incorrect syntax near 'Exists'."), statementName);
    }
    parts.condition = s.mid(pos + 1, close - pos - 1);
    pos = close + 1;
    for (int i = 0; i < wraps; ++i) {
        skipBlanks();
        if (pos >= s.size() || s[pos] != QLatin1Char(')')) {
            throw DbError(QStringLiteral("Incorrect syntax near ')'."), statementName);
        }
        ++pos;
    }
    parts.body = s.mid(pos).trimmed();
    static const QRegularExpression block(QStringLiteral("^begin\\b(.*)\\bend$"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    const auto bm = block.match(parts.body);
    if (bm.hasMatch()) {
        parts.body = bm.captured(1).trimmed();
    }
    return parts;
}

} // namespace

// The condition is queried, then the statement runs when it holds.
bool runClientSideIf(Session& session, const QString& statementName, const SqlText& sql,
                     const Params& params, ResultSet* out) {
    const std::optional<IfExists> parts = parseIfExists(statementName, sql.original());
    if (!parts) {
        return false;
    }
    auto holds = [&] {
        return session.execute(statementName, SqlText(parts->condition), params).rows.empty() ==
               parts->negate;
    };
    if (parts->body.isEmpty() || !holds()) {
        return true; // nothing to do, and nothing locked for it
    }
    // Checked again inside a unit of work. It holds the database's write lock, so a second
    // workstation doing the same at the same moment finds the work done instead of doing it
    // twice.
    Unit unit(session);
    if (holds()) {
        *out = session.execute(statementName, SqlText(parts->body), params);
    }
    unit.commit();
    return true;
}

bool checkClientSideIf(Session& session, const QString& statementName, const SqlText& sql) {
    const std::optional<IfExists> parts = parseIfExists(statementName, sql.original());
    if (!parts) {
        return false;
    }
    const SqlText condition(parts->condition);
    session.check(statementName, condition);
    if (parts->body.isEmpty()) {
        return true;
    }
    // Without the parameters' values the condition cannot be asked: the statement is
    // checked whether or not it would run.
    const bool wouldRun =
        !condition.parameterNames().isEmpty() ||
        session.execute(statementName, condition, Params()).rows.empty() == parts->negate;
    if (wouldRun) {
        session.check(statementName, SqlText(parts->body));
    }
    return true;
}

} // namespace db
