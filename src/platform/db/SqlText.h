#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace db {

// A statement text split into code and the parts a rewriter must leave alone (string
// literals, quoted names, comments), with its named parameters found.
//
// A parameter is ':' followed by a name, outside literals and comments; "::" is not one.
// Several occurrences of one name all take the value set for that name.
class SqlText {
public:
    struct Segment {
        enum Kind { Code, Literal, Comment, Parameter } kind;
        QString text; // for Parameter: the name as written
    };

    explicit SqlText(const QString& text = {});

    const QString& original() const { return original_; }
    const std::vector<Segment>& segments() const { return segments_; }

    // Distinct parameter names in order of first occurrence, as first written.
    QStringList parameterNames() const;

    // The text with each parameter replaced by '?', and the name of each occurrence in order.
    QString positional(QStringList* occurrenceNames) const;

    // Applies a rewrite to the code segments only (literals and comments stay as they are).
    template <typename F> SqlText mapCode(F&& rewrite) const {
        SqlText out;
        out.original_ = original_;
        out.segments_ = segments_;
        for (Segment& s : out.segments_) {
            if (s.kind == Segment::Code) {
                s.text = rewrite(s.text);
            }
        }
        return out;
    }

    // Applies a rewrite to every segment but the parameters: rewrite(segment) gives its new
    // text. For dialects that must also change quoted names or drop comments.
    template <typename F> SqlText mapSegments(F&& rewrite) const {
        SqlText out;
        out.original_ = original_;
        out.segments_ = segments_;
        for (Segment& s : out.segments_) {
            if (s.kind != Segment::Parameter) {
                s.text = rewrite(std::as_const(s));
            }
        }
        return out;
    }

private:
    QString original_;
    std::vector<Segment> segments_;
};

// The families of database servers the program runs on.
enum class BackendKind { Sqlite, Pgsql, Mssql };
QString backendName(BackendKind kind); // "sqlite", "pgsql", "mssql"

// A statement text and the variants kept for backends that cannot run it as written. A
// text written for other servers only is marked as such for a backend: asking for that
// backend's text without a variant fails loudly instead of running something else.
class SqlSource {
public:
    SqlSource() = default;
    SqlSource(QString text) : text_(std::move(text)) {}
    SqlSource(const char* text) : text_(QString::fromUtf8(text)) {}
    // The texts are written for SQL Server, which runs them as they are: it takes no variant
    // and cannot be excluded (std::logic_error).
    SqlSource& variant(BackendKind kind, const QString& text) {
        writtenFor(kind);
        variants_.insert(int(kind), text);
        return *this;
    }
    // The text as written does not run on that backend.
    SqlSource& notOn(BackendKind kind) {
        writtenFor(kind);
        notOn_.insert(int(kind), true);
        return *this;
    }
    const QString& text() const { return text_; }
    void setText(const QString& text) { text_ = text; }
    // Throws DbError when the backend has neither a variant nor can run the text as written.
    QString textFor(BackendKind kind) const;
    bool hasVariant(BackendKind kind) const { return variants_.contains(int(kind)); }

private:
    static void writtenFor(BackendKind kind);

    QString text_;
    QHash<int, QString> variants_;
    QHash<int, bool> notOn_;
};

// Splits a script into statements at lines holding only "/" (blanks around it allowed).
// Empty statements are dropped.
QStringList splitScript(const QString& script);

} // namespace db
