#include "platform/db/Query.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"

#include <QPointer>
#include <algorithm>

namespace db {

Query::Query(QObject* parent) : Dataset(parent) {}

Query::Query(const QString& connectionName, const SqlSource& sql, QObject* parent)
    : Dataset(parent), connectionName_(connectionName) {
    setSql(sql);
}

Connection& Query::connection() const {
    return Connection::byName(connectionName_);
}

void Query::setSql(const SqlSource& sql) {
    source_ = sql;
    sourceChanged();
}

void Query::clearSql() {
    setSql(SqlSource());
}

void Query::addSqlLine(const QString& line) {
    QStringList lines = sqlLines();
    lines << line;
    setSqlLines(lines);
}

QStringList Query::sqlLines() const {
    if (source_.text().isEmpty()) {
        return {};
    }
    return source_.text().split(QLatin1Char('\n'));
}

void Query::setSqlLines(const QStringList& lines) {
    setSql(SqlSource(lines.join(QLatin1Char('\n'))));
}

void Query::sourceChanged() {
    close();
    params_.reshape(SqlText(source_.text()).parameterNames());
}

ResultSet Query::run() {
    Session& session = connection().session();
    const SqlText text(source_.textFor(session.kind()));
    return session.execute(objectNameOr(), text, params_);
}

void Query::defineFields(const std::vector<ColumnInfo>& columns, std::vector<FieldDef>& defs) {
    converted_.clear();
    for (const ColumnInfo& c : columns) {
        FieldDef def{c.name, c.type, c.size};
        for (const FieldDef& d : declared_) {
            if (d.name.compare(c.name, Qt::CaseInsensitive) == 0) {
                if (d.type != c.type) {
                    converted_.push_back(int(defs.size()));
                }
                def.type = d.type;
                def.size = d.size ? d.size : c.size;
            }
        }
        defs.push_back(def);
    }
}

Dataset::Row Query::toRow(std::vector<QVariant> values, const std::vector<FieldDef>& defs) const {
    Row row;
    row.values = std::move(values);
    for (int i : converted_) {
        row.values[i] = convertTo(row.values[i], defs[i].type);
    }
    return row;
}

void Query::doOpen(std::vector<FieldDef>& defs, std::vector<Row>& rows) {
    cursor_.reset();
    if (fetchOnDemand_ && !cachedUpdates_) {
        Session& session = connection().session();
        const SqlText text(source_.textFor(session.kind()));
        cursor_ = session.openCursor(objectNameOr(), text, params_);
        defineFields(cursor_->columns(), defs);
        // Only the first row is waited for here: on a sparse result the next one may be a
        // long scan away, and the list shows what it has meanwhile.
        for (auto& values : cursor_->fetch(1)) {
            rows.push_back(toRow(std::move(values), defs));
        }
        rowsAffected_ = qint64(rows.size());
        if (cursor_->atEnd()) {
            cursor_.reset();
        }
        return;
    }
    ResultSet r = run();
    rowsAffected_ = r.rowsAffected;
    defineFields(r.columns, defs);
    rows.reserve(r.rows.size());
    for (auto& values : r.rows) {
        rows.push_back(toRow(std::move(values), defs));
    }
}

std::vector<Dataset::Row> Query::fetchRows(int maxRows) {
    std::vector<Row> rows;
    if (!cursor_) {
        return rows;
    }
    std::vector<std::vector<QVariant>> slice;
    try {
        slice = cursor_->fetch(maxRows);
    } catch (...) {
        cursor_.reset(); // a failed read ends the list where it stands
        throw;
    }
    rows.reserve(slice.size());
    for (auto& values : slice) {
        rows.push_back(toRow(std::move(values), defs_));
    }
    rowsAffected_ += qint64(rows.size());
    if (cursor_->atEnd()) {
        cursor_.reset();
    }
    return rows;
}

void Query::reach() {
    Session& session = connection().session();
    session.reach(objectNameOr(), SqlText(source_.textFor(session.kind())));
}

qint64 Query::execSQL() {
    close();
    rowsAffected_ = run().rowsAffected;
    return rowsAffected_;
}

void Query::sendRow(Session& session, const SqlSource& statement,
                    const std::vector<QVariant>& values, const std::vector<QVariant>& old,
                    const QString& kind) {
    const QString name = QStringLiteral("%1 (%2)").arg(objectNameOr(), kind);
    if (statement.text().trimmed().isEmpty()) {
        throw DbError(QStringLiteral("%1: no %2 statement").arg(objectNameOr(), kind), name);
    }
    const SqlText text(statement.textFor(session.kind()));
    Params bind;
    for (const QString& p : text.parameterNames()) {
        const bool isOld = p.startsWith(QLatin1String("OLD_"), Qt::CaseInsensitive);
        const Field* f = findField(isOld ? p.mid(4) : p);
        if (!f) {
            throw DbError(QStringLiteral("%1: Field '%2' not found").arg(objectNameOr(), p), name);
        }
        bind.add(p, f->type()).value = isOld ? old[f->index()] : values[f->index()];
    }
    const ResultSet r = session.execute(name, text, bind);
    if (update_->requireOneRow && r.rowsAffected != 1) {
        throw DbError(QStringLiteral("Update failed: %1 rows affected by the %2 of %3; the row "
                                     "was changed or removed by another user.")
                          .arg(r.rowsAffected)
                          .arg(kind, objectNameOr()),
                      name);
    }
}

void Query::applyUpdates() {
    checkActive();
    if (state() == DatasetState::Edit || state() == DatasetState::Insert) {
        post();
    }
    if (!cachedUpdates_) {
        return;
    }
    struct Pending {
        const Row* row;
        bool deleted;
    };
    std::vector<Pending> pending;
    for (const Row& r : rows_) {
        if (r.status != RowStatus::Unmodified) {
            pending.push_back({&r, false});
        }
    }
    for (const Row& r : deleted_) {
        pending.push_back({&r, true});
    }
    if (pending.empty()) {
        return;
    }
    if (!update_) {
        throw DbError(QStringLiteral("%1: no update object").arg(objectNameOr()), objectNameOr());
    }
    std::sort(pending.begin(), pending.end(),
              [](const Pending& a, const Pending& b) { return a.row->seq < b.row->seq; });

    Connection& c = connection();
    Session& session = c.session();
    Unit unit(c);
    for (const Pending& p : pending) {
        if (p.deleted) {
            sendRow(session, update_->deleteSql, p.row->values, p.row->old,
                    QStringLiteral("delete"));
        } else if (p.row->status == RowStatus::Inserted) {
            sendRow(session, update_->insertSql, p.row->values, p.row->old,
                    QStringLiteral("insert"));
        } else {
            sendRow(session, update_->modifySql, p.row->values, p.row->old,
                    QStringLiteral("update"));
        }
    }
    unit.commit();

    // Sent: the rows now read as loaded. Inside a caller's transaction, remember what was
    // pending so a rollback can put it back.
    std::vector<Row> sentRows;
    for (Row& r : rows_) {
        if (r.status != RowStatus::Unmodified) {
            sentRows.push_back(r);
            r.status = RowStatus::Unmodified;
            r.old = r.values;
        }
    }
    std::vector<Row> sentDeletes = std::move(deleted_);
    deleted_.clear();
    if (c.inTransaction()) {
        QPointer<Query> self(this);
        const int generation = generation_;
        c.onTransactionEnd([self, generation, sentRows, sentDeletes](bool committed) {
            if (committed || !self || self->generation_ != generation) {
                return;
            }
            for (const Row& sent : sentRows) {
                for (Row& r : self->rows_) {
                    if (r.seq == sent.seq) {
                        r.status = sent.status;
                        r.old = sent.old;
                    }
                }
                // Deleted since it was sent: the delete is keyed by what the server holds
                // again, and a row whose insert is undone has nothing left to delete.
                auto& deleted = self->deleted_;
                for (auto it = deleted.begin(); it != deleted.end();) {
                    if (it->seq != sent.seq) {
                        ++it;
                    } else if (sent.status == RowStatus::Inserted) {
                        it = deleted.erase(it);
                    } else {
                        it->old = sent.old;
                        ++it;
                    }
                }
            }
            self->deleted_.insert(self->deleted_.end(), sentDeletes.begin(), sentDeletes.end());
        });
    }
}

void Query::cancelUpdates() {
    if (!isActive()) {
        return;
    }
    if (state() == DatasetState::Edit || state() == DatasetState::Insert) {
        cancel();
    }
    std::vector<Row> kept;
    for (Row& r : rows_) {
        if (r.status == RowStatus::Inserted) {
            continue;
        }
        r.values = r.old;
        r.status = RowStatus::Unmodified;
        kept.push_back(r);
    }
    for (Row& r : deleted_) {
        r.values = r.old;
        r.status = RowStatus::Unmodified;
        kept.push_back(r);
    }
    std::sort(kept.begin(), kept.end(), [](const Row& a, const Row& b) { return a.seq < b.seq; });
    rows_ = std::move(kept);
    deleted_.clear();
    first();
    notifyLayout();
}

} // namespace db
