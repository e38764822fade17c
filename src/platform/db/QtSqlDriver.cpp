#include "platform/db/QtSqlDriver.h"

#include <QDateTime>
#include <QSqlField>

namespace db {

QtSqlConnection::QtSqlConnection(const QString& driver, const QString& connectionName)
    : name_(connectionName) {
    QSqlDatabase::addDatabase(driver, name_);
}

QtSqlConnection::~QtSqlConnection() {
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

FieldType qtFieldType(const QSqlField& field) {
    switch (field.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
    case QMetaType::Bool:
        return FieldType::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return FieldType::Float;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return FieldType::DateTime;
    default:
        return FieldType::Text;
    }
}

QVariant readQtValue(const QVariant& value, FieldType type) {
    if (value.isNull()) {
        return {};
    }
    switch (type) {
    case FieldType::Integer:
        return QVariant::fromValue<qint64>(value.toLongLong());
    case FieldType::Float:
        return value.toDouble();
    case FieldType::DateTime:
        if (value.typeId() == QMetaType::QDate) {
            return value.toDate().startOfDay();
        }
        return value.toDateTime();
    default:
        return value;
    }
}

QVariant boundQtValue(const QVariant& value, const QString& dateTimeFormat) {
    if (value.isNull() || !value.isValid()) {
        return QVariant(QMetaType::fromType<QString>());
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::QDateTime:
        return value.toDateTime().toString(dateTimeFormat);
    case QMetaType::QDate:
        return value.toDate().startOfDay().toString(dateTimeFormat);
    default:
        return value;
    }
}

} // namespace db
