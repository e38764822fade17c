#include "platform/db/DbError.h"

namespace db {

DbError::DbError(const QString& message, const QString& statementName, int nativeCode)
    : std::runtime_error(message.toStdString()), message_(message), statementName_(statementName),
      nativeCode_(nativeCode) {}

} // namespace db
