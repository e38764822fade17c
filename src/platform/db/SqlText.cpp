#include "platform/db/SqlText.h"

#include "platform/db/DbError.h"

#include <stdexcept>

#include <QRegularExpression>

namespace db {

namespace {

bool isNameStart(QChar c) {
    return c.isLetter() || c == QLatin1Char('_');
}
bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

} // namespace

SqlText::SqlText(const QString& text) : original_(text) {
    const qsizetype n = text.size();
    QString code;
    auto flushCode = [&] {
        if (!code.isEmpty()) {
            segments_.push_back({Segment::Code, code});
            code.clear();
        }
    };
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        const QChar next = i + 1 < n ? text[i + 1] : QChar();
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            qsizetype j = i + 1;
            while (j < n) {
                if (text[j] == close) {
                    // A doubled quote inside a literal is an escaped quote.
                    if (close != QLatin1Char(']') && j + 1 < n && text[j + 1] == close) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            flushCode();
            segments_.push_back({Segment::Literal, text.mid(i, std::min(j + 1, n) - i)});
            i = std::min(j + 1, n);
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            qsizetype j = text.indexOf(QLatin1Char('\n'), i);
            if (j < 0) {
                j = n;
            }
            flushCode();
            segments_.push_back({Segment::Comment, text.mid(i, j - i)});
            i = j;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            qsizetype j = text.indexOf(QLatin1String("*/"), i + 2);
            j = j < 0 ? n : j + 2;
            flushCode();
            segments_.push_back({Segment::Comment, text.mid(i, j - i)});
            i = j;
        } else if (c == QLatin1Char(':') && next == QLatin1Char(':')) {
            code += QLatin1String("::");
            i += 2;
        } else if (c == QLatin1Char(':') && isNameStart(next)) {
            qsizetype j = i + 1;
            while (j < n && isNameChar(text[j])) {
                ++j;
            }
            flushCode();
            segments_.push_back({Segment::Parameter, text.mid(i + 1, j - i - 1)});
            i = j;
        } else {
            code += c;
            ++i;
        }
    }
    flushCode();
}

QStringList SqlText::parameterNames() const {
    QStringList names;
    for (const Segment& s : segments_) {
        if (s.kind == Segment::Parameter && !names.contains(s.text, Qt::CaseInsensitive)) {
            names << s.text;
        }
    }
    return names;
}

QString SqlText::positional(QStringList* occurrenceNames) const {
    QString out;
    for (const Segment& s : segments_) {
        if (s.kind == Segment::Parameter) {
            out += QLatin1Char('?');
            if (occurrenceNames) {
                *occurrenceNames << s.text;
            }
        } else {
            out += s.text;
        }
    }
    return out;
}

QStringList splitScript(const QString& script) {
    QStringList statements;
    QStringList current;
    const QStringList lines = script.split(QLatin1Char('\n'));
    auto flush = [&] {
        const QString stmt = current.join(QLatin1Char('\n'));
        if (!stmt.trimmed().isEmpty()) {
            statements << stmt;
        }
        current.clear();
    };
    for (const QString& line : lines) {
        if (line.trimmed() == QLatin1String("/")) {
            flush();
        } else {
            current << line;
        }
    }
    flush();
    return statements;
}

QString backendName(BackendKind kind) {
    switch (kind) {
    case BackendKind::Sqlite:
        return QStringLiteral("sqlite");
    case BackendKind::Pgsql:
        return QStringLiteral("pgsql");
    case BackendKind::Mssql:
        return QStringLiteral("mssql");
    }
    return QString();
}

void SqlSource::writtenFor(BackendKind kind) {
    if (kind == BackendKind::Mssql) {
        throw std::logic_error("statements run on SQL Server as written: no variant for it");
    }
}

QString SqlSource::textFor(BackendKind kind) const {
    const auto it = variants_.constFind(int(kind));
    if (it != variants_.constEnd()) {
        return it.value();
    }
    if (notOn_.contains(int(kind))) {
        throw DbError(QStringLiteral("The statement has no text the %1 server can run: %2")
                          .arg(backendName(kind), text_.left(60).simplified()));
    }
    return text_;
}

} // namespace db
