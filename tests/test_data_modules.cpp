// The two data modules on the demo server: connecting, rights, company, numbering.
#include "data/Dm_Config.h"
#include "data/U_DM.h"
#include "platform/db/DbError.h"
#include "platform/db/Query.h"
#include "support/DemoServer.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class DataModules : public ::testing::Test {
protected:
    void SetUp() override {
        previousDir_ = QDir::currentPath();
        QDir::setCurrent(work_.path());
        folder_ = testing_support::freshDemoServer();
        writeServerDat(testing_support::serverName(folder_));
        dm_ = std::make_unique<TDM>();
        dmConfig_ = std::make_unique<TDMConfig>();
        DM = dm_.get();
        DmConfig = dmConfig_.get();
        dm_->CommandLine = {QStringLiteral("ordertool"),
                            QStringLiteral("101"),
                            QStringLiteral("1"),
                            QStringLiteral(" NVKDC "),
                            QString(),
                            QStringLiteral("4")};
    }
    void TearDown() override {
        dmConfig_.reset();
        dm_.reset();
        QDir::setCurrent(previousDir_);
    }
    void writeServerDat(const QString& line) {
        QFile f(QStringLiteral("Server.Dat"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(line.toLocal8Bit() + "\nsecond line ignored\n");
    }
    QVariant configValue(const QString& sql) {
        db::Query q(QStringLiteral("DmCfg"), db::SqlSource(sql));
        q.open();
        return q.isEmpty() ? QVariant() : q.fields()[0]->value();
    }

    QTemporaryDir work_;
    QString previousDir_;
    QString folder_;
    std::unique_ptr<TDM> dm_;
    std::unique_ptr<TDMConfig> dmConfig_;
};

TEST_F(DataModules, RightsAndLanguageOfEachDemoUser) {
    struct Case {
        int user;
        bool access, add, thai;
    };
    const Case cases[] = {{1, true, true, true},
                          {2, true, true, false},
                          {3, true, false, true},
                          {4, false, false, true},
                          {99, false, false, false}};
    for (const Case& c : cases) {
        DmConfig->CheckRight(101, c.user);
        EXPECT_EQ(DmConfig->AccessRight, c.access) << "user " << c.user;
        EXPECT_EQ(DmConfig->AddRight, c.add) << "user " << c.user;
        EXPECT_EQ(DmConfig->ThaiLanguage, c.thai) << "user " << c.user;
    }
    DmConfig->CheckRight(102, 1);
    EXPECT_FALSE(DmConfig->MenuCaption.isEmpty());
    EXPECT_EQ(DmConfig->MenuCaption, DmConfig->MenuCaption.trimmed());
    EXPECT_EQ(DmConfig->DmCfg.paramValue(QStringLiteral("DATABASE NAME")),
              QStringLiteral("QRV_CONFIG_NVK"));
    EXPECT_EQ(DmConfig->DmCfg.paramValue(QStringLiteral("MAX QUERY TIME")), QStringLiteral("600"));
}

TEST_F(DataModules, UpgradeAddsItsColumnsOnceAndRunsAgainHarmlessly) {
    DmConfig->CheckRight(101, 1); // connects, which runs the upgrade
    EXPECT_EQ(configValue(QStringLiteral("select count(*) from Menu where Command is not null "
                                         "and Version is null"))
                  .toInt(),
              0);
    DmConfig->SQLUpdate.execute(); // a second run on an upgraded database
    DmConfig->DmCfg.close();
    DmConfig->CheckRight(101, 1);
    EXPECT_EQ(configValue(QStringLiteral("select count(*) from pragma_table_info('username') "
                                         "where name in ('UserSeeImport', 'UserSeeCost')"))
                  .toInt(),
              2);
}

TEST_F(DataModules, WithoutTheNvkConfigurationTheConnectionAsksForQrvConfig) {
    QFile::rename(QDir(folder_).filePath(QStringLiteral("QRV_CONFIG_NVK.sqlite")),
                  QDir(folder_).filePath(QStringLiteral("QRV_CONFIG.sqlite")));
    DmConfig->CheckRight(101, 1);
    EXPECT_EQ(DmConfig->DmCfg.paramValue(QStringLiteral("DATABASE NAME")),
              QStringLiteral("QRV_CONFIG"));
    EXPECT_TRUE(DmConfig->AccessRight);
}

TEST_F(DataModules, CompanyLookupUpperCasesButDoesNotTrim) {
    ui::ScriptedPrompts prompts;
    ui::ScopedPrompts scope(prompts);
    EXPECT_TRUE(DmConfig->GetCompanyConfig(QStringLiteral("nvkdc")));
    EXPECT_EQ(DmConfig->PosPriceType, 1);
    EXPECT_FALSE(DmConfig->GetCompanyConfig(QStringLiteral(" nvkdc ")));
    EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Not Found Database :  NVKDC ")});
}

TEST_F(DataModules, BusinessConnectionUsesTheTrimmedNameAndOpensOnFirstUse) {
    EXPECT_FALSE(DM->DMdata.connected());
    const QDateTime now = DM->ServerDateTime();
    EXPECT_TRUE(DM->DMdata.connected());
    EXPECT_EQ(DM->BusinessDatabase, QStringLiteral("NVKDC"));
    EXPECT_LE(qAbs(now.secsTo(QDateTime::currentDateTime())), 5);
    EXPECT_EQ(DM->DMdata.paramValue(QStringLiteral("MAX QUERY TIME")), QStringLiteral("1200"));
}

TEST_F(DataModules, DocumentNumbersAreFreshAndFollowTheDatesYear) {
    const QDateTime now = DM->ServerDateTime();
    QSet<QString> seen;
    for (int i = 0; i < 5; ++i) {
        const QString n = DM->NextDocumentNo(QStringLiteral("ORD-SHARE"), now);
        EXPECT_FALSE(seen.contains(n)) << n.toStdString();
        seen.insert(n);
    }
    const QString old = DM->NextDocumentNo(QStringLiteral("ORD-SHARE"),
                                           QDateTime(QDate(2024, 12, 31), QTime(23, 59)));
    EXPECT_TRUE(old.startsWith(QStringLiteral("SH24"))) << old.toStdString();

    DM->QDocumentNo.close();
    DM->QDocumentNo.params().set(QStringLiteral("GetCode"), QStringLiteral("ORD-SHARE"));
    DM->QDocumentNo.params().set(QStringLiteral("GetYear"), now.date().year());
    DM->QDocumentNo.open();
    EXPECT_EQ(DM->QDocumentNo.fieldByName(QStringLiteral("AutoRun")).asString(),
              QStringLiteral("Y"));
}

TEST_F(DataModules, ConfirmationsAreBlueWithWhiteText) {
    ui::ScriptedPrompts prompts;
    ui::ScopedPrompts scope(prompts);
    prompts.answer(true);
    EXPECT_TRUE(DM->ConfirmDialog(QStringLiteral("จัดเก็บข้อมูล ?")));
    EXPECT_FALSE(DmConfig->ConfirmDialog(QStringLiteral("บันทึก ?"))); // nothing queued: No
    ASSERT_EQ(prompts.entries().size(), 2u);
    for (const auto& e : prompts.entries()) {
        EXPECT_EQ(e.background, (ui::Rgb{0, 0, 255}));
        EXPECT_EQ(e.foreground, (ui::Rgb{255, 255, 255}));
    }
}

TEST_F(DataModules, ServerDatFirstLineIsTakenAsWritten) {
    writeServerDat(QStringLiteral("sqlite:data "));
    EXPECT_EQ(DmConfig->ReadServerDat(), QStringLiteral("sqlite:data "));
    writeServerDat(QString());
    EXPECT_EQ(DmConfig->serverName(), TDMConfig::defaultServerName());
    QFile::remove(QStringLiteral("Server.Dat"));
    EXPECT_EQ(DmConfig->ReadServerDat(), QString());
}

} // namespace
