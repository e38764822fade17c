#include "platform/db/DbError.h"

namespace db {

DbError::DbError(const QString& message, const QString& statementName, int nativeCode)
    : std::runtime_error(message.toStdString()), message_(message), statementName_(statementName),
      nativeCode_(nativeCode) {}

DbError::DbError(const QString& message, const QString& statementName, const QString& sqlState)
    : std::runtime_error(message.toStdString()), message_(message), statementName_(statementName),
      nativeCode_(0), sqlState_(sqlState) {}

} // namespace db
