#pragma once

#include <QString>
#include <stdexcept>

namespace db {

// What went wrong, the same on every engine, for code that must tell failures apart (a
// retry after a lock time-out, a message for a duplicate number) without reading texts.
enum class DbErrorKind {
    Other,
    DuplicateKey,
    NullNotAllowed,
    ReferenceConflict,
    LockTimeout,
    Connection,
    Damaged,
};

// The one exception type of the database layer. It carries the server's message
// text unchanged and the name of the statement or procedure that failed.
class DbError : public std::runtime_error {
public:
    DbError(const QString& message, const QString& statementName = {}, int nativeCode = 0,
            DbErrorKind kind = DbErrorKind::Other);
    // For servers whose error codes are five-character SQLSTATE texts rather than numbers.
    DbError(const QString& message, const QString& statementName, const QString& sqlState,
            DbErrorKind kind = DbErrorKind::Other);

    QString message() const { return message_; }
    QString statementName() const { return statementName_; }
    int nativeCode() const { return nativeCode_; }
    // The SQLSTATE the server reported ("23505"); empty for servers without one.
    QString sqlState() const { return sqlState_; }
    DbErrorKind kind() const { return kind_; }

private:
    QString message_;
    QString statementName_;
    int nativeCode_;
    QString sqlState_;
    DbErrorKind kind_;
};

} // namespace db
