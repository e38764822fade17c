#pragma once

#include "platform/db/Backend.h"
#include "platform/db/Dataset.h"
#include "platform/db/Params.h"

#include <QStringList>
#include <memory>

namespace db {

class Connection;

// The statements that write a cached dataset's pending rows: ":Field" takes the row's
// value, ":OLD_Field" the value read when the row was loaded.
class UpdateSql {
public:
    SqlSource modifySql;
    SqlSource insertSql;
    SqlSource deleteSql;
    // Each statement must touch exactly one row; anything else fails the apply, so a row
    // changed or removed by another workstation is never overwritten silently.
    bool requireOneRow = true;
};

// A dataset filled from a select on a named connection. With cached updates, edits stay
// in memory until applyUpdates() sends them through the update object.
class Query : public Dataset {
    Q_OBJECT
public:
    explicit Query(QObject* parent = nullptr);
    Query(const QString& connectionName, const SqlSource& sql, QObject* parent = nullptr);

    void setConnectionName(const QString& name) { connectionName_ = name; }
    const QString& connectionName() const { return connectionName_; }

    // The statement: as one source (with backend variants) or line by line. Editing
    // lines drops the variants, which belong to the text they were written for.
    void setSql(const SqlSource& sql);
    void clearSql();
    void addSqlLine(const QString& line);
    QStringList sqlLines() const;
    void setSqlLines(const QStringList& lines);
    QString sqlText() const { return source_.text(); }
    const SqlSource& sql() const { return source_; }

    Params& params() { return params_; }
    Param& paramByName(const QString& name) { return params_.byName(name); }

    // Runs a statement that returns no rows; returns the number of rows affected.
    qint64 execSQL();
    // Makes ready what the statement needs, for a unit of work about to begin that runs it.
    void reach();
    qint64 rowsAffected() const { return rowsAffected_; }

    // Fixes the type of a result column, whatever the server reports: an expression column
    // of an empty result has no type of its own.
    void declareField(const QString& name, FieldType type, int size = 0) {
        declared_.push_back(FieldDef{name, type, size});
    }

    // Off (the default): open() reads every row. On: open() reads through a cursor only the
    // first row the server yields and leaves the rest to fetchMore() and to moving past the
    // last row read, so a long list shows before it is read to the end. A query with cached
    // updates always reads every row.
    void setFetchOnDemand(bool on) { fetchOnDemand_ = on; }
    bool fetchOnDemand() const { return fetchOnDemand_; }

    void setCachedUpdates(bool on) { cachedUpdates_ = on; }
    bool cachedUpdates() const { return cachedUpdates_; }
    void setUpdateObject(UpdateSql* update) { update_ = update; }

    // Sends every pending change in row order, all or nothing. Inside a transaction the
    // changes count as sent once it commits: a rollback restores them as pending, so a
    // retry neither loses one nor sends one twice.
    void applyUpdates();
    void cancelUpdates();

    Connection& connection() const;

protected:
    void doOpen(std::vector<FieldDef>& defs, std::vector<Row>& rows) override;
    void doClose() override { cursor_.reset(); }
    bool moreRows() const override { return cursor_ && !cursor_->atEnd(); }
    std::vector<Row> fetchRows(int maxRows) override;
    bool modifiable() const override { return cachedUpdates_; }
    bool keepsUpdates() const override { return cachedUpdates_; }

private:
    ResultSet run();
    void sourceChanged();
    void defineFields(const std::vector<ColumnInfo>& columns, std::vector<FieldDef>& defs);
    // A row of the server's values, the columns declared with another type converted.
    Row toRow(std::vector<QVariant> values, const std::vector<FieldDef>& defs) const;
    void sendRow(Session& session, const SqlSource& statement, const std::vector<QVariant>& values,
                 const std::vector<QVariant>& old, const QString& kind);

    QString connectionName_;
    SqlSource source_;
    Params params_;
    std::vector<FieldDef> declared_;
    UpdateSql* update_ = nullptr;
    bool cachedUpdates_ = false;
    qint64 rowsAffected_ = 0;
    bool fetchOnDemand_ = false;
    std::unique_ptr<Cursor> cursor_; // rows still to read; none when all were read at open
    std::vector<int> converted_;     // columns whose declared type differs from the server's
};

} // namespace db
