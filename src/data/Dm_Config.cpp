#include "data/Dm_Config.h"

#include "platform/db/DbError.h"
#include "platform/ui/Prompts.h"
#include "util/Text.h"
#include "util/Workstation.h"

#include <QFile>
#include <stdexcept>

TDMConfig* DmConfig = nullptr;

namespace {

const char* const kUserQuery =
    "select Code, fullname,languageno,EditSalePrice,Approve_Quo,Approve_SO,Approve_IV,Approve_PO, "
    "Approved_PORQ,\n"
    "       ApproveTranWH,ApproveTranBranch,ApproveWorkOrder,CanSeeCost,CanSeeSalePrice,"
    "CanModifyCusSale,\n"
    "       Approve_PreIs, CanModifyCusSale, ApproveCustomerDropUse, ApproveCustomerDropCredit, "
    "Saleman,\n"
    "       CanModifyCredit, CanSetProductBlock, CanSetProductMinus, CanSaleCreditOnReturnCheque, "
    "UserSeeImport, UserSeeCost,CanSetOtherUserPass ,\n"
    "       coalesce(Approve_PoLevel1,'N')Approve_PoLevel1 ,\n"
    "       coalesce(Approve_PoLevel2,'N')Approve_PoLevel2 ,\n"
    "       coalesce(Approve_PoLevel3,'N')Approve_PoLevel3\n"
    "from  username\n"
    "where id=:uid";

const char* const kCompanyConfigQuery =
    "SELECT C.Company, C.PicturePath, C.Public_Price_IE, C.DefaultWh,\n"
    "  C.POS1_Wh, C.POS1_TaxCode, C.POS1_Price_IE, C.POS1_PriceType,\n"
    "  C.POS1_SumDetail, C.DefaultPosComPort,C.DefaultTax,\n"
    "  C.DefaultPosMenuId,M.Command,M.MenuOption,\n"
    "  O.Description, O.YearNo,\n"
    "  P.Id, P.Code, P.Password, P.NameThai, P.NameEng, P.ShortName,\n"
    "  P.Address1, P.Address2, P.Address3, P.Address4, P.Province, P.Zip,\n"
    "  P.Telephone, P.Fax, P.EMail, P.Logo, P.TaxNo, P.InstallDate, P.RunYear,\n"
    "  P.LocalServer,P.FUNDNAME, P.TaxBranchHead, P.TaxBranchCode, P.TaxBranchName\n"
    "FROM CompanyConfig C\n"
    "Inner Join DatabaseList O On (O.Company = C.Company)\n"
    "Inner Join Company P On (P.Id = O.Company)\n"
    "Left Outer Join Menu M On (M.Id = C.DefaultPosMenuId)\n"
    "Where (O.DatabaseName = :GetName)";

const char* const kUpgradeScript =
    "If (Not Exists(Select Name From SysColumns\n"
    "               Where Id = (Select Id From SysObjects Where Ltrim(Rtrim(Upper(Name))) = "
    "'MENU') And\n"
    "                     Ltrim(Rtrim(Upper(Name)))='VERSION'))\n"
    "  Begin\n"
    "    Alter Table Menu Add Version Integer\n"
    "  End\n"
    "/\n"
    "Update Menu Set Version = 3 Where Version Is Null And Command Is Not Null\n"
    "/\n"
    "If Not Exists(select Id From SysColumns Where Name = 'UserSeeImport' And Id = (Select Id "
    "From SysObjects Where Name = 'UserName'))\n"
    "   Alter Table UserName Add UserSeeImport Char(1)\n"
    "/\n"
    "If Not Exists(select Id From SysColumns Where Name = 'UserSeeCost' And Id = (Select Id From "
    "SysObjects Where Name = 'UserName'))\n"
    "   Alter Table UserName Add UserSeeCost Char(1)";

} // namespace

QStringList connectionParameterList(const QString& serverName, int maxQueryTime) {
    return {QStringLiteral("SERVER NAME=") + serverName,
            QStringLiteral("USER NAME=qrv"),
            QStringLiteral("OPEN MODE=READ/WRITE"),
            QStringLiteral("SCHEMA CACHE SIZE=8"),
            QStringLiteral("BLOB EDIT LOGGING="),
            QStringLiteral("LANGDRIVER="),
            QStringLiteral("SQLQRYMODE="),
            QStringLiteral("SQLPASSTHRU MODE=SHARED AUTOCOMMIT"),
            QStringLiteral("DATE MODE=1"),
            QStringLiteral("SCHEMA CACHE TIME=-1"),
            QStringLiteral("MAX QUERY TIME=%1").arg(maxQueryTime),
            QStringLiteral("MAX ROWS=-1"),
            QStringLiteral("BATCH COUNT=200"),
            QStringLiteral("ENABLE SCHEMA CACHE=FALSE"),
            QStringLiteral("SCHEMA CACHE DIR="),
            QStringLiteral("HOST NAME="),
            QStringLiteral("APPLICATION NAME="),
            QStringLiteral("NATIONAL LANG NAME="),
            QStringLiteral("ENABLE BCD=True"),
            QStringLiteral("TDS PACKET SIZE=4096"),
            QStringLiteral("BLOBS TO CACHE=-1"),
            QStringLiteral("BLOB SIZE=64"),
            QStringLiteral("PASSWORD=mahogany")};
}

TDMConfig::TDMConfig(QObject* parent) : QObject(parent) {
    DmCfg.beforeConnect = [this](db::Connection& c) { DmCfgBeforeConnect(c); };
    DmCfg.afterConnect = [this](db::Connection& c) { DmCfgAfterConnect(c); };

    QChkConfig.setObjectName(QStringLiteral("QChkConfig"));
    QChkConfig.setConnectionName(QStringLiteral("DBMaster"));
    QChkConfig.setSql(db::SqlSource("Select * From SysDatabases Where Name = 'QRV_Config_NVK'"));

    SQLUpdate.setObjectName(QStringLiteral("SQLUpdate"));
    SQLUpdate.setConnectionName(QStringLiteral("DmCfg"));
    SQLUpdate.setSql(db::SqlSource(kUpgradeScript));

    QUser.setObjectName(QStringLiteral("QUser"));
    QUser.setConnectionName(QStringLiteral("DmCfg"));
    QUser.setSql(db::SqlSource(kUserQuery));

    QCompanyConfig.setObjectName(QStringLiteral("QCompanyConfig"));
    QCompanyConfig.setConnectionName(QStringLiteral("DmCfg"));
    QCompanyConfig.setSql(db::SqlSource(kCompanyConfigQuery));

    using db::FieldType;
    using db::ParamDirection;
    SpMenuCaption.setObjectName(QStringLiteral("SpMenuCaption"));
    SpMenuCaption.setConnectionName(QStringLiteral("DmCfg"));
    SpMenuCaption.setProcedureName(QStringLiteral("MENUCAPTION"));
    SpMenuCaption.addParam(QStringLiteral("Result"), FieldType::Integer, ParamDirection::Result);
    SpMenuCaption.addParam(QStringLiteral("@MENUID"), FieldType::Integer, ParamDirection::Input);
    SpMenuCaption.addParam(QStringLiteral("@USERID"), FieldType::Integer, ParamDirection::Input);
    for (const char* out :
         {"@CAPTION", "@ACCESS_R", "@ADD_R", "@MODIFY_R", "@DELETE_R", "@USERCODE"}) {
        SpMenuCaption.addParam(QLatin1String(out), FieldType::Text, ParamDirection::Output);
    }
    SpMenuCaption.addParam(QStringLiteral("@SALESID"), FieldType::Integer, ParamDirection::Output);

    SpErrorLog.setObjectName(QStringLiteral("SpErrorLog"));
    SpErrorLog.setConnectionName(QStringLiteral("DmCfg"));
    SpErrorLog.setProcedureName(QStringLiteral("AddErrorLog"));
    SpErrorLog.addParam(QStringLiteral("Result"), FieldType::Integer, ParamDirection::Result);
    SpErrorLog.addParam(QStringLiteral("@CompName"), FieldType::Text, ParamDirection::Input);
    SpErrorLog.addParam(QStringLiteral("@LogName"), FieldType::Text, ParamDirection::Input);
    SpErrorLog.addParam(QStringLiteral("@UserId"), FieldType::Integer, ParamDirection::Input);
    SpErrorLog.addParam(QStringLiteral("@MenuId"), FieldType::Integer, ParamDirection::Input);
    SpErrorLog.addParam(QStringLiteral("@ErrorMsg"), FieldType::Text, ParamDirection::Input);
}

TDMConfig::~TDMConfig() {
    if (DmConfig == this) {
        DmConfig = nullptr;
    }
}

QString TDMConfig::ReadServerDat() const {
    QFile file(QStringLiteral("Server.Dat"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray line = file.readLine();
    if (file.error() != QFileDevice::NoError) {
        throw std::runtime_error("I/O error reading Server.Dat: " +
                                 file.errorString().toStdString());
    }
    QByteArray text = line;
    if (text.endsWith('\n')) {
        text.chop(1);
    }
    if (text.endsWith('\r')) {
        text.chop(1);
    }
    return QString::fromLocal8Bit(text);
}

QString TDMConfig::serverName() const {
    const QString fromFile = ReadServerDat();
    return fromFile.isEmpty() ? defaultServerName() : fromFile;
}

void TDMConfig::DmCfgBeforeConnect(db::Connection& connection) {
    const QString server = serverName();
    connection.params().clear();
    DBMaster.close();
    DBMaster.params().clear();
    DBMaster.params() << QStringLiteral("DATABASE NAME=master")
                      << connectionParameterList(server, 1200);
    DBMaster.open();
    struct CloseMaster {
        TDMConfig* m;
        ~CloseMaster() {
            m->QChkConfig.close();
            m->DBMaster.close();
        }
    } closeMaster{this};
    QChkConfig.close();
    QChkConfig.open();
    connection.params() << (QChkConfig.isEmpty() ? QStringLiteral("DATABASE NAME=QRV_CONFIG")
                                                 : QStringLiteral("DATABASE NAME=QRV_CONFIG_NVK"));
    connection.params() << connectionParameterList(server, 600);
}

void TDMConfig::DmCfgAfterConnect(db::Connection&) {
    SQLUpdate.execute();
}

void TDMConfig::CheckRight(int menuId, int userId) {
    SpMenuCaption.close();
    SpMenuCaption.paramByName(QStringLiteral("@MENUID")).value = menuId;
    SpMenuCaption.paramByName(QStringLiteral("@USERID")).value = userId;
    SpMenuCaption.execute();
    MenuCaption =
        util::trimControls(SpMenuCaption.paramByName(QStringLiteral("@CAPTION")).asString());
    AccessRight =
        SpMenuCaption.paramByName(QStringLiteral("@ACCESS_R")).asString() == QLatin1String("Y");
    AddRight = SpMenuCaption.paramByName(QStringLiteral("@ADD_R")).asString() == QLatin1String("Y");
    SpMenuCaption.close();

    QUser.close();
    QUser.paramByName(QStringLiteral("uid")).value = userId;
    QUser.open();
    ThaiLanguage = QUser.fieldByName(QStringLiteral("LanguageNo")).asInteger() == 1;
    QUser.close();
}

bool TDMConfig::GetCompanyConfig(const QString& name) {
    const QString upper = util::upperAscii(name);
    QCompanyConfig.close();
    QCompanyConfig.paramByName(QStringLiteral("GetName")).value = upper;
    QCompanyConfig.open();
    if (QCompanyConfig.isEmpty()) {
        QCompanyConfig.close();
        ui::Prompts::current().message(
            {QStringLiteral("Not Found Database : ") + upper, ui::MessageKind::Information});
        return false;
    }
    PosPriceType = int(QCompanyConfig.fieldByName(QStringLiteral("Pos1_PriceType")).asInteger());
    return true;
}

void TDMConfig::WriteErrorLog(const QString& message) {
    SpErrorLog.close();
    SpErrorLog.paramByName(QStringLiteral("@CompName")).value = GetComputerNameText();
    SpErrorLog.paramByName(QStringLiteral("@LogName")).value = GetLoginUserName();
    SpErrorLog.paramByName(QStringLiteral("@UserId")).value = UserId;
    SpErrorLog.paramByName(QStringLiteral("@MenuId")).value = MenuId;
    SpErrorLog.paramByName(QStringLiteral("@ErrorMsg")).value = message;
    SpErrorLog.execute();
}

bool TDMConfig::ConfirmDialog(const QString& text) {
    return ui::Prompts::current().confirm(
        {text, ui::MessageKind::Confirmation, ui::Rgb{0, 0, 255}, ui::Rgb{255, 255, 255}});
}
