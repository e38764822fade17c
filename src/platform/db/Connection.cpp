#include "platform/db/Connection.h"

#include "platform/db/DbError.h"

#include <QHash>
#include <QScopeGuard>
#include <algorithm>
#include <cstdio>
#include <exception>

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
    auto reset = qScopeGuard([this] { connecting_ = false; });
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
    if (session_ && !units_.empty()) {
        try {
            session_->rollback();
        } catch (...) {
        }
    }
    auto units = std::move(units_);
    units_.clear();
    std::reverse(units.begin(), units.end());
    for (Callbacks& callbacks : units) {
        settle(std::move(callbacks), false);
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

BackendKind Connection::backendKind() {
    return session().kind();
}

QString Connection::savepointName(int depth) const {
    return QStringLiteral("unit_%1").arg(depth);
}

void Connection::begin() {
    Session& s = session();
    if (units_.empty()) {
        if (s.inTransaction()) {
            throw DbError(QStringLiteral("A transaction is already active on this connection."),
                          name_);
        }
        s.begin();
    } else {
        s.savepoint(savepointName(int(units_.size())));
    }
    units_.emplace_back();
}

void Connection::commit() {
    if (units_.empty() || !session_) {
        throw DbError(QStringLiteral("The COMMIT TRANSACTION request has no corresponding BEGIN "
                                     "TRANSACTION."),
                      name_);
    }
    if (units_.size() == 1) {
        session_->commit();
        Callbacks callbacks = std::move(units_.back());
        units_.pop_back();
        settle(std::move(callbacks), true);
        return;
    }
    session_->releaseSavepoint(savepointName(int(units_.size()) - 1));
    Callbacks callbacks = std::move(units_.back());
    units_.pop_back();
    // Whether released work stays depends on the units around it.
    for (auto& cb : callbacks) {
        units_.back().push_back(std::move(cb));
    }
}

void Connection::rollback() {
    if (units_.empty()) {
        if (session_ && session_->inTransaction()) {
            session_->rollback();
        }
        return;
    }
    Callbacks callbacks = std::move(units_.back());
    const int depth = int(units_.size());
    units_.pop_back();
    if (session_) {
        depth == 1 ? session_->rollback() : session_->rollbackToSavepoint(savepointName(depth - 1));
    }
    settle(std::move(callbacks), false);
}

bool Connection::inTransaction() const {
    return !units_.empty() || (session_ && session_->inTransaction());
}

void Connection::onTransactionEnd(std::function<void(bool)> callback) {
    if (units_.empty()) {
        callback(true); // nothing open: what ran is already stored
        return;
    }
    units_.back().push_back(std::move(callback));
}

void Connection::settle(Callbacks callbacks, bool committed) {
    if (!committed) {
        // Undo runs newest first: each step puts back the state the one before it left.
        std::reverse(callbacks.begin(), callbacks.end());
    }
    for (auto& cb : callbacks) {
        cb(committed);
    }
}

// ---- units of work ------------------------------------------------------------------

namespace {

int nextSavepointNumber() {
    static int n = 0;
    return ++n;
}

} // namespace

Unit::Unit(Connection& connection) : connection_(&connection) {
    connection.begin();
    active_ = true;
}

Unit::Unit(const QString& connectionName) : Unit(Connection::byName(connectionName)) {}

Unit::Unit(Session& session) : session_(&session) {
    if (session.inTransaction()) {
        savepoint_ = QStringLiteral("work_%1").arg(nextSavepointNumber());
        session.savepoint(savepoint_);
    } else {
        session.begin();
    }
    active_ = true;
}

Unit::~Unit() {
    if (!active_) {
        return;
    }
    std::fprintf(stderr, "unit of work rolled back (%s)\n",
                 std::uncaught_exceptions() > 0 ? "after an error" : "left without commit");
    try {
        rollback();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "rollback failed: %s\n", e.what());
    }
}

void Unit::commit() {
    if (!active_) {
        return;
    }
    if (connection_) {
        connection_->commit();
    } else {
        savepoint_.isEmpty() ? session_->commit() : session_->releaseSavepoint(savepoint_);
    }
    active_ = false;
}

void Unit::rollback() {
    if (!active_) {
        return;
    }
    active_ = false;
    if (connection_) {
        connection_->rollback();
    } else {
        savepoint_.isEmpty() ? session_->rollback() : session_->rollbackToSavepoint(savepoint_);
    }
}

} // namespace db
