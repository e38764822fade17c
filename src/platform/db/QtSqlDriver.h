#pragma once

#include "platform/db/Value.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

class QSqlField;

namespace db {

// What the backends on Qt's SQL drivers (PostgreSQL, SQL Server) share.

// A QSqlDatabase connection registered under a name of its own, closed and unregistered on
// scope exit. Qt keeps connections in a global registry; the handle must go before removal.
class QtSqlConnection {
public:
    QtSqlConnection(const QString& driver, const QString& connectionName);
    ~QtSqlConnection();
    QtSqlConnection(const QtSqlConnection&) = delete;
    QtSqlConnection& operator=(const QtSqlConnection&) = delete;

    QSqlDatabase database() const { return QSqlDatabase::database(name_, false); }
    const QString& name() const { return name_; }

private:
    QString name_;
};

// The layer's type of a result column the driver describes.
FieldType qtFieldType(const QSqlField& field);

// A value as the embedded server gives it: integers 64-bit, floats and decimals as doubles,
// dates as date-times.
QVariant readQtValue(const QVariant& value, FieldType type);

// A value as handed to the driver: NULL as a null text, flags as 0 or 1, date-times as text in
// the given format (each server reads its own alike whatever the session's settings).
QVariant boundQtValue(const QVariant& value, const QString& dateTimeFormat);

} // namespace db
