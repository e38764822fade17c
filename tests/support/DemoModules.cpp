#include "support/DemoModules.h"

#include "support/DemoServer.h"

#include <QDir>
#include <QFile>

namespace testing_support {

DemoModules::DemoModules(int userId, int menuId, const QString& folder)
    : DemoModules(userId, menuId, folder, QString()) {}

std::unique_ptr<DemoModules> DemoModules::onServer(const QString& serverName, int userId,
                                                   int menuId) {
    return std::unique_ptr<DemoModules>(new DemoModules(userId, menuId, QString(), serverName));
}

DemoModules::DemoModules(int userId, int menuId, const QString& folder, const QString& serverName)
    : serverName_(serverName), previousDir_(QDir::currentPath()), previousDm_(DM),
      previousConfig_(DmConfig) {
    if (serverName_.isEmpty()) {
        folder_ = folder.isEmpty() ? freshDemoServer() : folder;
    }
    QDir::setCurrent(work_.path());
    QFile f(QStringLiteral("Server.Dat"));
    if (f.open(QIODevice::WriteOnly)) {
        f.write(this->serverName().toUtf8() + "\r\n");
    }
    f.close();
    dm_ = std::make_unique<TDM>();
    dm_->CommandLine = {QStringLiteral("ordertool"), QString::number(menuId),
                        QString::number(userId),     QStringLiteral("NVKDC"),
                        QStringLiteral("x"),         QStringLiteral("4")};
    DM = dm_.get();
    config_ = std::make_unique<TDMConfig>();
    DmConfig = config_.get();
    DmConfig->MenuId = menuId;
    DmConfig->UserId = userId;
    DmConfig->CheckRight(menuId, userId);
    DmConfig->GetCompanyConfig(QStringLiteral("NVKDC"));
}

DemoModules::~DemoModules() {
    config_.reset();
    dm_.reset();
    DM = previousDm_;
    DmConfig = previousConfig_;
    QDir::setCurrent(previousDir_);
}

QString DemoModules::serverName() const {
    return serverName_.isEmpty() ? testing_support::serverName(folder_) : serverName_;
}

} // namespace testing_support
