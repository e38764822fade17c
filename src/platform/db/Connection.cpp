#include "platform/db/Connection.h"

#include "platform/db/DbError.h"

#include <QHash>
#include <algorithm>
#include <cstdio>

namespace db {

namespace {

QHash<QString, Connection*>& registry() {
    static QHash<QString, Connection*> connections;
    return connections;
}

} // namespace

Connection::Connection(const QString& name) : name_(name) {
    registry().insert(name.toUpper(), this);
}

Connection::~Connection() {
    if (registry().value(name_.toUpper()) == this) {
        registry().remove(name_.toUpper());
    }
}

Connection* Connection::find(const QString& name) {
    return registry().value(name.toUpper());
}

Connection& Connection::byName(const QString& name) {
    if (Connection* c = find(name)) {
        return *c;
    }
    throw DbError(QStringLiteral("Unknown database: %1").arg(name), name);
}

QString Connection::paramValue(const QString& key) const {
    return ConnectionSettings::fromParams(params_).value(key);
}

void Connection::open() {
    if (session_ || connecting_) {
        return;
    }
    connecting_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{connecting_};
    if (beforeConnect) {
        beforeConnect(*this);
    }
    const ConnectionSettings settings = ConnectionSettings::fromParams(params_);
    session_ = Backend::forServer(settings.serverName).open(settings);
    if (afterConnect) {
        try {
            afterConnect(*this);
        } catch (...) {
            // A failed after-connect step leaves the connection closed, as a failed login.
            session_.reset();
            throw;
        }
    }
}

void Connection::close() {
    if (session_ && session_->inTransaction()) {
        try {
            session_->rollback();
        } catch (...) {
        }
        finishTransaction(false);
    }
    session_.reset();
}

Session& Connection::session() {
    if (!session_) {
        if (connecting_) {
            throw DbError(QStringLiteral("Connection %1 is not open").arg(name_), name_);
        }
        open();
    }
    if (!session_) {
        throw DbError(QStringLiteral("Connection %1 is not open").arg(name_), name_);
    }
    return *session_;
}

QString Connection::backendKind() {
    return session().kind();
}

void Connection::begin() {
    session().begin();
}

void Connection::commit() {
    session().commit();
    finishTransaction(true);
}

void Connection::rollback() {
    if (session_) {
        session_->rollback();
    }
    finishTransaction(false);
}

bool Connection::inTransaction() const {
    return session_ && session_->inTransaction();
}

void Connection::onTransactionEnd(std::function<void(bool)> callback) {
    transactionCallbacks_.push_back(std::move(callback));
}

void Connection::finishTransaction(bool committed) {
    auto callbacks = std::move(transactionCallbacks_);
    transactionCallbacks_.clear();
    if (!committed) {
        // Undo runs newest first: each step puts back the state the one before it left.
        std::reverse(callbacks.begin(), callbacks.end());
    }
    for (auto& cb : callbacks) {
        cb(committed);
    }
}

Transaction::Transaction(Connection& connection) : connection_(connection) {
    connection_.begin();
    active_ = true;
}

Transaction::Transaction(const QString& connectionName)
    : Transaction(Connection::byName(connectionName)) {}

Transaction::~Transaction() {
    if (active_) {
        try {
            connection_.rollback();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "rollback failed: %s\n", e.what());
        }
    }
}

void Transaction::commit() {
    connection_.commit();
    active_ = false;
}

void Transaction::rollback() {
    active_ = false;
    connection_.rollback();
}

} // namespace db
