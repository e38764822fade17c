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
    BackendKind backendKind();

    // Units of work nest: the outermost is a transaction, an inner one a savepoint in it.
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const;

    // Called once when the work running now is settled: true when the outermost
    // transaction committed, false when this unit (or one around it) rolled back.
    void onTransactionEnd(std::function<void(bool committed)> callback);

private:
    using Callbacks = std::vector<std::function<void(bool)>>;
    static void settle(Callbacks callbacks, bool committed);
    QString savepointName(int depth) const;

    QString name_;
    QStringList params_;
    std::unique_ptr<Session> session_;
    bool connecting_ = false;
    std::vector<Callbacks> units_; // one entry per open unit, outermost first
};

// One unit of work: begins a transaction, or a savepoint when one is open; commit()
// commits or releases it. Unless committed, the destructor rolls it back and logs why,
// so every save of the system is all or nothing.
class Unit {
public:
    explicit Unit(Connection& connection);
    explicit Unit(const QString& connectionName);
    // On a bare session (procedures run inside the server layer, below any connection).
    explicit Unit(Session& session);
    ~Unit();
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    void commit();
    void rollback();
    bool active() const { return active_; }

private:
    Connection* connection_ = nullptr;
    Session* session_ = nullptr;
    QString savepoint_; // on a bare session inside a transaction
    bool active_ = false;
};

} // namespace db
