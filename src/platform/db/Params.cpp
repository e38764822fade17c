#include "platform/db/Params.h"

#include "platform/db/DbError.h"

namespace db {

QString Params::normalise(const QString& name) {
    QString n = name.trimmed();
    if (n.startsWith(QLatin1Char('@')) || n.startsWith(QLatin1Char(':'))) {
        n.remove(0, 1);
    }
    return n.toUpper();
}

Param& Params::add(const QString& name, FieldType type, ParamDirection direction) {
    if (Param* p = find(name)) {
        p->type = type;
        p->direction = direction;
        return *p;
    }
    QString n = name.trimmed();
    if (n.startsWith(QLatin1Char('@')) || n.startsWith(QLatin1Char(':'))) {
        n.remove(0, 1);
    }
    items_.push_back(Param{n, type, direction, {}});
    return items_.back();
}

Param* Params::find(const QString& name) {
    const QString key = normalise(name);
    for (Param& p : items_) {
        if (p.name.toUpper() == key) {
            return &p;
        }
    }
    return nullptr;
}

const Param* Params::find(const QString& name) const {
    return const_cast<Params*>(this)->find(name);
}

Param& Params::byName(const QString& name) {
    if (Param* p = find(name)) {
        return *p;
    }
    throw DbError(QStringLiteral("Parameter '%1' not found").arg(name));
}

const Param& Params::byName(const QString& name) const {
    return const_cast<Params*>(this)->byName(name);
}

void Params::reshape(const QStringList& names) {
    std::vector<Param> next;
    for (const QString& name : names) {
        if (const Param* p = find(name)) {
            next.push_back(*p);
        } else {
            next.push_back(Param{name, FieldType::Text, ParamDirection::Input, {}});
        }
    }
    items_ = std::move(next);
}

} // namespace db
