#pragma once

#include "data/Dm_Config.h"
#include "data/U_DM.h"

#include <QFile>
#include <QString>

// The two data modules of a run for user 1 on the share order's menu entry, on the server
// in folder: the working directory gets a Server.Dat naming it. Rights and company are
// read by the caller when its figure needs them.
struct BenchModules {
    explicit BenchModules(const QString& folder, int menuId = 101) {
        QFile dat(QStringLiteral("Server.Dat"));
        dat.open(QIODevice::WriteOnly);
        dat.write(QStringLiteral("sqlite:%1\r\n").arg(folder).toUtf8());
        dat.close();
        dm.CommandLine = {
            QStringLiteral("ordertool"), QString::number(menuId),
            QStringLiteral("1"),         QStringLiteral("NVKDC"),
            QStringLiteral("x"),         menuId == 101 ? QStringLiteral("4") : QStringLiteral("5")};
        DM = &dm;
        DmConfig = &config;
        config.UserId = 1;
        config.MenuId = menuId;
    }
    ~BenchModules() {
        DM = nullptr;
        DmConfig = nullptr;
    }
    BenchModules(const BenchModules&) = delete;
    BenchModules& operator=(const BenchModules&) = delete;

    TDM dm;
    TDMConfig config;
};
