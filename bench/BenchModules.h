#pragma once

#include "data/Dm_Config.h"
#include "data/U_DM.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <algorithm>
#include <vector>

// The two data modules of a run for user 1 on the share order's menu entry, on the server
// in folder (or named in full, as "pgsql://..."): the working directory gets a Server.Dat
// naming it. Rights and company are read by the caller when its figure needs them.
struct BenchModules {
    explicit BenchModules(const QString& server, int menuId = 101) {
        QFile dat(QStringLiteral("Server.Dat"));
        dat.open(QIODevice::WriteOnly);
        const bool named = server.contains(QLatin1String("://"));
        dat.write(((named ? QString() : QStringLiteral("sqlite:")) + server + "\r\n").toUtf8());
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

namespace bench {

// The value below which the share p (0..1) of the figures lie; 0 without figures.
inline double percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

// Makes the large company in folder with the database tool and returns the folder.
inline QString buildScaleServer(const QString& folder) {
    QProcess tool;
    tool.start(QStringLiteral(ORDERTOOL_DB_TOOL),
               {QStringLiteral("init"), QStringLiteral("--server"),
                QStringLiteral("sqlite:") + folder, QStringLiteral("--scale")});
    tool.waitForFinished(-1);
    return folder;
}

} // namespace bench
