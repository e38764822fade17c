#pragma once

#include "platform/db/Value.h"

#include <QString>
#include <QVariant>
#include <vector>

namespace db {

enum class ParamDirection { Input, Output, InputOutput, Result };

struct Param {
    QString name; // as declared, without ':' or '@'
    FieldType type = FieldType::Text;
    ParamDirection direction = ParamDirection::Input;
    QVariant value; // null when unset

    void setValue(const QVariant& v) { value = v; }
    QString asString() const { return variantToText(value); }
    qint64 asInteger() const { return variantToInteger(value); }
    double asFloat() const { return variantToDouble(value); }
    QDateTime asDateTime() const { return variantToDateTime(value); }
    bool isNull() const { return value.isNull() || !value.isValid(); }
};

// An ordered list of named parameters; names match without regard to case and
// without a leading '@' (procedure parameters are declared with it).
class Params {
public:
    Param& add(const QString& name, FieldType type = FieldType::Text,
               ParamDirection direction = ParamDirection::Input);
    Param* find(const QString& name);
    const Param* find(const QString& name) const;
    // Throws DbError when the name is unknown.
    Param& byName(const QString& name);
    const Param& byName(const QString& name) const;
    void set(const QString& name, const QVariant& value) { byName(name).value = value; }

    // Keeps the values of names that stay; new names start null, vanished ones are dropped.
    void reshape(const QStringList& names);
    void clear() { items_.clear(); }

    std::vector<Param>& items() { return items_; }
    const std::vector<Param>& items() const { return items_; }
    size_t size() const { return items_.size(); }

    static QString normalise(const QString& name);

private:
    std::vector<Param> items_;
};

} // namespace db
