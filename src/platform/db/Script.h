#pragma once

#include "platform/db/Backend.h"
#include "platform/db/Params.h"

#include <QObject>

namespace db {

// Statements separated by lines holding only "/", run one after the other on a named
// connection; parameters are bound by name across all of them.
class Script : public QObject {
    Q_OBJECT
public:
    explicit Script(QObject* parent = nullptr) : QObject(parent) {}
    Script(const QString& connectionName, const SqlSource& sql, QObject* parent = nullptr);

    void setConnectionName(const QString& name) { connectionName_ = name; }
    const QString& connectionName() const { return connectionName_; }
    void setSql(const SqlSource& sql);
    const SqlSource& sql() const { return source_; }
    Params& params() { return params_; }
    Param& paramByName(const QString& name) { return params_.byName(name); }

    // Rows affected by each statement, in order.
    QList<qint64> execute();

private:
    QString connectionName_;
    SqlSource source_;
    Params params_;
};

// A stored procedure on a named connection, its parameters declared with directions.
class StoredProc : public QObject {
    Q_OBJECT
public:
    explicit StoredProc(QObject* parent = nullptr) : QObject(parent) {}
    StoredProc(const QString& connectionName, const QString& procedureName,
               QObject* parent = nullptr);

    void setConnectionName(const QString& name) { connectionName_ = name; }
    void setProcedureName(const QString& name) { procedureName_ = name; }
    const QString& procedureName() const { return procedureName_; }

    Param& addParam(const QString& name, FieldType type, ParamDirection direction);
    Params& params() { return params_; }
    Param& paramByName(const QString& name) { return params_.byName(name); }

    // Clears the outputs of the last run; inputs keep their values.
    void close();
    void execute();

private:
    QString connectionName_;
    QString procedureName_;
    Params params_;
};

} // namespace db
