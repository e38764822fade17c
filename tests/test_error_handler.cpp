// The application-wide error handler: the log row, the explanation and the dialog text.
#include "data/Dm_Config.h"
#include "data/U_DM.h"
#include "platform/db/DbError.h"
#include "platform/db/Query.h"
#include "support/DemoServer.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QChar CR(13);

TEST(ErrorTranslation, FirstMatchingFragmentWinsWithoutRegardToCase) {
    struct Case {
        const char* message;
        const char* explanation;
    };
    const Case cases[] = {
        {"Cannot insert the value NULL into column 'Price', table 'productprice'",
         "กำหนดราคาไม่ครบถ้วน"},
        {"Possible network error. Cannot insert duplicate key row",
         "ระบบเครือข่าย หรือ คอมพิวเตอร์แม่ข่ายมีปัญหา ติดต่อเครื่องแม่ข่ายไม่ได้"},
        {"cannot INSERT duplicate key row in object 'TranBranch'", "ข้อมูลที่เพิ่มซ้ำกับข้อมูลที่มีอยู่แล้ว"},
        {"'32/13/2024' is not a valid date", "ป้อนวันที่ไม่ถูกต้อง"},
        {"sql server connection TIMED OUT",
         "เครื่องแม่ข่ายตัดการติดต่อ เพราะเครื่องนี้อาจเรียกข้อมูลปริมาณมากเกินไป"},
        {"Cannot insert the value NULL into column 'Qty'", ""},
        {"no such table: Foo", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TDM::explainError(QString::fromUtf8(c.message)), QString::fromUtf8(c.explanation))
            << c.message;
    }
}

TEST(ErrorTranslation, DialogTextIsExplanationThenUpperCasedMessage) {
    EXPECT_EQ(TDM::errorDialogText(QStringLiteral("Cannot insert the value NULL into column "
                                                  "'Price'")),
              QStringLiteral("กำหนดราคาไม่ครบถ้วน") + CR +
                  QStringLiteral("CANNOT INSERT THE VALUE NULL INTO COLUMN 'PRICE'") + CR);
    EXPECT_EQ(TDM::errorDialogText(QStringLiteral("disk full: ข้อมูล")),
              QString(CR) + QStringLiteral("DISK FULL: ข้อมูล") + CR);
}

class ErrorHandler : public ::testing::Test {
protected:
    void SetUp() override {
        previousDir_ = QDir::currentPath();
        QDir::setCurrent(work_.path());
        folder_ = testing_support::freshDemoServer();
        writeServerDat(testing_support::serverName(folder_));
        dmConfig_ = std::make_unique<TDMConfig>();
        dm_ = std::make_unique<TDM>();
        DmConfig = dmConfig_.get();
        DM = dm_.get();
        DmConfig->UserId = 2;
        DmConfig->MenuId = 101;
        dm_->showErrorDialog = [this](const QString& text) { shown_ << text; };
    }
    void TearDown() override {
        dm_.reset();
        dmConfig_.reset();
        QDir::setCurrent(previousDir_);
    }
    void writeServerDat(const QString& line) {
        QFile f(work_.filePath(QStringLiteral("Server.Dat")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(line.toLocal8Bit() + "\r\n");
    }
    QStringList loggedMessages() {
        db::Query q(QStringLiteral("DmCfg"),
                    db::SqlSource("select ErrorMsg, UserId, MenuId, LogName from ErrorLog "
                                  "order by Id"));
        q.open();
        QStringList out;
        for (q.first(); !q.eof(); q.next()) {
            out << q.fieldByName(QStringLiteral("ErrorMsg")).asString();
            EXPECT_EQ(q.fieldByName(QStringLiteral("UserId")).asInteger(), 2);
            EXPECT_EQ(q.fieldByName(QStringLiteral("MenuId")).asInteger(), 101);
        }
        return out;
    }

    QTemporaryDir work_;
    QString previousDir_;
    QString folder_;
    std::unique_ptr<TDMConfig> dmConfig_;
    std::unique_ptr<TDM> dm_;
    QStringList shown_;
};

TEST_F(ErrorHandler, LogsTheMessageAsRaisedThenShowsItExplained) {
    const QString msg = QStringLiteral("Cannot insert duplicate key row in object 'OrderShereHd'.");
    dm_->ApplicationEvents1Exception(std::make_exception_ptr(db::DbError(msg)));
    EXPECT_EQ(loggedMessages(), QStringList{msg});
    ASSERT_EQ(shown_.size(), 1);
    EXPECT_EQ(shown_[0], TDM::errorDialogText(msg));
    EXPECT_TRUE(shown_[0].startsWith(QStringLiteral("ข้อมูลที่เพิ่มซ้ำกับข้อมูลที่มีอยู่แล้ว")));
}

TEST_F(ErrorHandler, SilentAbortIsNeitherLoggedNorShown) {
    dm_->ApplicationEvents1Exception(std::make_exception_ptr(ui::SilentAbort{}));
    EXPECT_TRUE(shown_.isEmpty());
    EXPECT_TRUE(loggedMessages().isEmpty());
}

TEST_F(ErrorHandler, UnreachableLogStillShowsTheOriginalErrorAndDoesNotRecurse) {
    writeServerDat(QStringLiteral("sqlite:") + work_.filePath(QStringLiteral("gone")));
    int shownWhileHandling = 0;
    dm_->showErrorDialog = [&](const QString& text) {
        shown_ << text;
        // An error raised while the dialog is up must not re-enter the handler.
        dm_->ApplicationEvents1Exception(std::make_exception_ptr(std::runtime_error("inner")));
        ++shownWhileHandling;
    };
    dm_->ApplicationEvents1Exception(std::make_exception_ptr(db::DbError(QStringLiteral("boom"))));
    ASSERT_EQ(shown_.size(), 1);
    EXPECT_EQ(shown_[0], QString(CR) + QStringLiteral("BOOM") + CR);
    EXPECT_EQ(shownWhileHandling, 1);
}

} // namespace
