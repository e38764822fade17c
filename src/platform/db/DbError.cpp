#include "platform/db/DbError.h"

namespace db {

DbError::DbError(const QString& message, const QString& statementName, int nativeCode,
                 DbErrorKind kind)
    : std::runtime_error(message.toStdString()), message_(message), statementName_(statementName),
      nativeCode_(nativeCode), kind_(kind) {}

DbError::DbError(const QString& message, const QString& statementName, const QString& sqlState,
                 DbErrorKind kind)
    : std::runtime_error(message.toStdString()), message_(message), statementName_(statementName),
      nativeCode_(0), sqlState_(sqlState), kind_(kind) {}

} // namespace db
