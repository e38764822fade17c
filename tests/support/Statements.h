#pragma once

#include "platform/db/Query.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

namespace testing_support {

// Statements on the company database (connection DMDATA), as another workstation would run
// them; values bind to :p0, :p1, ... in order.
void bind(db::Query& q, const QVariantList& values);
QVariant scalar(const QString& sql, const QVariantList& values = {});
void exec(const QString& sql, const QVariantList& values = {});

// While alive, exceptions that reach the application's error handler are collected here
// instead of shown.
class ErrorCapture {
public:
    ErrorCapture();
    ~ErrorCapture();
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

    const QStringList& messages() const { return messages_; }
    bool empty() const { return messages_.isEmpty(); }
    std::string joined() const { return messages_.join(QLatin1Char('\n')).toStdString(); }

private:
    QStringList messages_;
    std::function<void(std::exception_ptr)> previous_;
};

} // namespace testing_support
