#include "support/Statements.h"

#include "platform/db/DbError.h"
#include "platform/ui/Guard.h"

namespace testing_support {

void bind(db::Query& q, const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i) {
        q.params().set(QStringLiteral("p%1").arg(i), values[i]);
    }
}

QVariant scalar(const QString& sql, const QVariantList& values) {
    db::Query q(QStringLiteral("DMDATA"), db::SqlSource(sql));
    bind(q, values);
    q.open();
    return q.isEmpty() ? QVariant() : q.fields()[0]->value();
}

void exec(const QString& sql, const QVariantList& values) {
    db::Query q(QStringLiteral("DMDATA"), db::SqlSource(sql));
    bind(q, values);
    q.execSQL();
}

ErrorCapture::ErrorCapture() {
    previous_ = ui::setExceptionSink([this](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const db::DbError& d) {
            messages_ << d.message();
        } catch (const std::exception& x) {
            messages_ << QString::fromUtf8(x.what());
        }
    });
}

ErrorCapture::~ErrorCapture() {
    ui::setExceptionSink(previous_);
}

} // namespace testing_support
