#pragma once

#include "data/Dm_Config.h"
#include "data/U_DM.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace testing_support {

// The two data modules of a run on a fresh demo server, as start-up leaves them for a
// launcher command line "101 <user> NVKDC x <mode>": the working directory holds a
// Server.Dat naming the server, the rights of the user are read. Restores the previous
// working directory and globals when it goes.
class DemoModules {
public:
    // On a fresh demo server, or on the server in folder (shared with other processes).
    explicit DemoModules(int userId = 1, int menuId = 101, const QString& folder = {});
    // On a server named in full (say pgsql://...) that holds the demo company.
    static std::unique_ptr<DemoModules> onServer(const QString& serverName, int userId = 1,
                                                 int menuId = 101);
    ~DemoModules();
    DemoModules(const DemoModules&) = delete;
    DemoModules& operator=(const DemoModules&) = delete;

    const QString& serverFolder() const { return folder_; }
    QString serverName() const;

private:
    DemoModules(int userId, int menuId, const QString& folder, const QString& serverName);

    QString serverName_; // when the server is not a folder
    QTemporaryDir work_;
    QString previousDir_;
    QString folder_;
    TDM* previousDm_;
    TDMConfig* previousConfig_;
    std::unique_ptr<TDM> dm_;
    std::unique_ptr<TDMConfig> config_;
};

} // namespace testing_support
