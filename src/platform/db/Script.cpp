#include "platform/db/Script.h"

#include "platform/db/Connection.h"
#include "platform/db/SqlText.h"

namespace db {

Script::Script(const QString& connectionName, const SqlSource& sql, QObject* parent)
    : QObject(parent), connectionName_(connectionName) {
    setSql(sql);
}

void Script::setSql(const SqlSource& sql) {
    source_ = sql;
    QStringList names;
    for (const QString& stmt : splitScript(sql.text())) {
        for (const QString& n : SqlText(stmt).parameterNames()) {
            if (!names.contains(n, Qt::CaseInsensitive)) {
                names << n;
            }
        }
    }
    params_.reshape(names);
}

QList<qint64> Script::execute() {
    Session& session = Connection::byName(connectionName_).session();
    const QStringList statements = splitScript(source_.textFor(session.kind()));
    const QString name = objectName().isEmpty() ? QStringLiteral("script") : objectName();
    QList<qint64> affected;
    for (int i = 0; i < statements.size(); ++i) {
        const QString stmtName = QStringLiteral("%1 #%2").arg(name).arg(i + 1);
        affected << session.execute(stmtName, SqlText(statements[i]), params_).rowsAffected;
    }
    return affected;
}

StoredProc::StoredProc(const QString& connectionName, const QString& procedureName, QObject* parent)
    : QObject(parent), connectionName_(connectionName), procedureName_(procedureName) {}

Param& StoredProc::addParam(const QString& name, FieldType type, ParamDirection direction) {
    return params_.add(name, type, direction);
}

void StoredProc::close() {
    for (Param& p : params_.items()) {
        if (p.direction == ParamDirection::Output || p.direction == ParamDirection::Result) {
            p.value = QVariant();
        }
    }
}

void StoredProc::execute() {
    close();
    Connection::byName(connectionName_).session().callProcedure(procedureName_, params_);
    for (Param& p : params_.items()) {
        if (p.direction != ParamDirection::Input) {
            p.value = convertTo(p.value, p.type);
        }
    }
}

} // namespace db
