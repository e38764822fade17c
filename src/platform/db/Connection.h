#pragma once

#include "platform/db/Backend.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace db {

// A named connection. Datasets, scripts and procedures name their connection; it opens
// on the first use of any of them (before-connect hook, then the backend, then the
// after-connect hook) and stays open. Names match without regard to case.
class Connection {
public:
    explicit Connection(const QString& name);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The registered connection of that name, or nullptr / DbError.
    static Connection* find(const QString& name);
    static Connection& byName(const QString& name);

    const QString& name() const { return name_; }

    // "KEY=value" lines; the backend reads DATABASE NAME, SERVER NAME and what it needs.
    QStringList& params() { return params_; }
    const QStringList& params() const { return params_; }
    QString paramValue(const QString& key) const;

    std::function<void(Connection&)> beforeConnect;
    std::function<void(Connection&)> afterConnect;

    void open();
    void close();
    bool connected() const { return session_ != nullptr; }
    // The open session, connecting first when needed.
    Session& session();
    QString backendKind();

    void begin();
    void commit();
    void rollback();
    bool inTransaction() const;

    // Called once when the running transaction ends; true when it was committed.
    void onTransactionEnd(std::function<void(bool committed)> callback);

private:
    void finishTransaction(bool committed);

    QString name_;
    QStringList params_;
    std::unique_ptr<Session> session_;
    bool connecting_ = false;
    std::vector<std::function<void(bool)>> transactionCallbacks_;
};

// Rolls back unless committed: every save of the system runs inside one.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    explicit Transaction(const QString& connectionName);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();
    void rollback();
    bool active() const { return active_; }

private:
    Connection& connection_;
    bool active_ = false;
};

} // namespace db
