#pragma once

#include "platform/db/Connection.h"
#include "platform/db/Query.h"
#include "platform/db/Script.h"

#include <QObject>
#include <QString>
#include <memory>

// The connection parameter list every connection of the system opens with, after its
// "DATABASE NAME=" line.
QStringList connectionParameterList(const QString& serverName, int maxQueryTime);

// The configuration data module: the configuration connection, the schema upgrade, the
// user and company lookups, the menu rights and the run context of the whole run.
class TDMConfig : public QObject {
    Q_OBJECT
public:
    explicit TDMConfig(QObject* parent = nullptr);
    ~TDMConfig() override;

    // The server used when Server.Dat gives none: the embedded server in "data".
    static QString defaultServerName() { return QStringLiteral("sqlite:data"); }

    // Run context, written during start-up and only read afterwards.
    int FormMode = 0;
    int MenuId = 0;
    int UserId = 0;
    QString MenuCaption;
    bool AccessRight = false;
    bool AddRight = false;
    bool ThaiLanguage = false;
    int PosPriceType = 0;

    // First line of Server.Dat in the working directory, unchanged; empty when it cannot be
    // opened. A failure while reading an opened file throws.
    QString ReadServerDat() const;
    // ReadServerDat() or, when empty, the default server name.
    QString serverName() const;

    void CheckRight(int menuId, int userId);
    // False (after the "Not Found Database : " message) when the name is not registered.
    bool GetCompanyConfig(const QString& name);
    void WriteErrorLog(const QString& message);
    bool ConfirmDialog(const QString& text);

    db::Connection DmCfg{QStringLiteral("DmCfg")};
    db::Connection DBMaster{QStringLiteral("DBMaster")};
    db::Query QChkConfig;
    db::Script SQLUpdate;
    db::Query QUser;
    db::Query QCompanyConfig;
    db::StoredProc SpMenuCaption;
    db::StoredProc SpErrorLog;

private:
    void DmCfgBeforeConnect(db::Connection& connection);
    void DmCfgAfterConnect(db::Connection& connection);
};

extern TDMConfig* DmConfig;
