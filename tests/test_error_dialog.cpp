// The red self-closing error dialog, shown through the modal seam.
#include "forms/Fr_ShowError.h"
#include "platform/ui/Modal.h"
#include "support/GuiApp.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class ErrorDialog : public ::testing::Test {
protected:
    void SetUp() override { testing_support::guiApp(); }

    // Shows the dialog through the seam and runs the check on it while it is shown.
    int show(TFrShowError& dialog, std::function<int(QDialog&)> whileShown) {
        prompts_.answerModal(std::move(whileShown));
        return ui::execModal(dialog);
    }
    static bool activate(QDialog& dialog) {
        dialog.activateWindow();
        return QTest::qWaitFor([&] { return QApplication::activeWindow() == &dialog; });
    }

    ui::ScriptedModalPrompts prompts_;
    ui::ScopedPrompts scope_{prompts_};
};

TEST_F(ErrorDialog, IsARedBoxWithoutCloseBoxShowingTheErrorText) {
    TFrShowError dialog;
    dialog.ErrorText = QStringLiteral("กำหนดราคาไม่ครบถ้วน\rCANNOT INSERT\r");
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Windows Error Message"));
    EXPECT_EQ(dialog.size(), QSize(344, 101));
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowSystemMenuHint);
    const QColor red(255, 0, 0);
    EXPECT_EQ(dialog.palette().color(QPalette::Window), red);
    EXPECT_TRUE(dialog.ErrorBox->isReadOnly());
    EXPECT_EQ(dialog.ErrorBox->height(), 65);
    EXPECT_EQ(dialog.ErrorBox->width(), 344);
    EXPECT_EQ(dialog.ErrorBox->palette().color(QPalette::Base), red);
    EXPECT_EQ(dialog.ErrorBox->palette().color(QPalette::Text), QColor(Qt::white));
    EXPECT_EQ(dialog.BOk->text(), QStringLiteral("Send Error"));
    EXPECT_EQ(dialog.BCancel->text(), QStringLiteral("Don't Send"));
    for (const QWidget* bold :
         {static_cast<QWidget*>(dialog.BOk), static_cast<QWidget*>(dialog.BCancel),
          static_cast<QWidget*>(dialog.TimeCount)}) {
        EXPECT_TRUE(bold->font().bold()) << bold->objectName().toStdString();
    }
    EXPECT_EQ(dialog.BOk->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(dialog.BCancel->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(dialog.Timer1->interval(), 1000);

    TFrShowError::CloseCountdown = 3;
    TFrShowError::SendingError = true;
    dialog.TimeCount->setText(QStringLiteral("old"));
    show(dialog, [&](QDialog& shown) {
        EXPECT_TRUE(shown.isVisible());
        // Each carriage return starts a new line: the explanation above the message.
        EXPECT_EQ(dialog.ErrorBox->toPlainText(),
                  QStringLiteral("กำหนดราคาไม่ครบถ้วน\nCANNOT INSERT\n"));
        EXPECT_EQ(dialog.pos(), QPoint(50, 100));
        EXPECT_EQ(dialog.TimeCount->text(), QString());
        EXPECT_EQ(TFrShowError::CloseCountdown, 10);
        EXPECT_FALSE(TFrShowError::SendingError);
        EXPECT_TRUE(dialog.Timer1->isActive());
        EXPECT_TRUE(activate(dialog));
        EXPECT_EQ(QApplication::focusWidget(), dialog.BCancel);
        return QDialog::Rejected;
    });
    ASSERT_EQ(prompts_.modals().size(), 1U);
    EXPECT_EQ(prompts_.modals()[0].title, QStringLiteral("Windows Error Message"));
}

TEST_F(ErrorDialog, LeftAloneItClosesItselfOnTheNinthTick) {
    TFrShowError dialog(nullptr, 5ms);
    QSignalSpy ticks(dialog.Timer1, &QTimer::timeout);
    const int result = show(dialog, [&](QDialog& shown) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !shown.isVisible(); }, 5000));
        return shown.result();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(ticks.count(), 9);
    EXPECT_EQ(TFrShowError::CloseCountdown, 1);
    EXPECT_FALSE(TFrShowError::SendingError);
    EXPECT_FALSE(dialog.Timer1->isActive());
}

TEST_F(ErrorDialog, EitherButtonClosesItAtOnce) {
    const struct {
        const char* caption;
        QPushButton* TFrShowError::*button;
        int result;
        bool sending;
    } cases[] = {{"Send Error", &TFrShowError::BOk, QDialog::Accepted, true},
                 {"Don't Send", &TFrShowError::BCancel, QDialog::Rejected, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        TFrShowError dialog;
        const int result = show(dialog, [&](QDialog& shown) {
            QTest::mouseClick(dialog.*c.button, Qt::LeftButton);
            EXPECT_FALSE(shown.isVisible());
            return shown.result();
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(TFrShowError::SendingError, c.sending);
        EXPECT_EQ(TFrShowError::CloseCountdown, 10) << "no tick passed";
        EXPECT_FALSE(dialog.Timer1->isActive());
    }
}

TEST_F(ErrorDialog, SendErrorStopsTheCountdown) {
    TFrShowError dialog(nullptr, 5ms);
    show(dialog, [&](QDialog& shown) {
        EXPECT_TRUE(QTest::qWaitFor([] { return TFrShowError::CloseCountdown <= 8; }, 5000));
        dialog.BOk->click();
        return shown.result();
    });
    const int left = TFrShowError::CloseCountdown;
    dialog.Timer1Timer(); // a tick still on its way changes nothing
    EXPECT_EQ(TFrShowError::CloseCountdown, left);
    EXPECT_TRUE(TFrShowError::SendingError);
}

TEST_F(ErrorDialog, EnterPressesDontSend) {
    TFrShowError dialog;
    QSignalSpy sendClicks(dialog.BOk, &QPushButton::clicked);
    QSignalSpy dontSendClicks(dialog.BCancel, &QPushButton::clicked);
    const int result = show(dialog, [&](QDialog& shown) {
        EXPECT_TRUE(activate(dialog));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_FALSE(shown.isVisible());
        return shown.result();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(dontSendClicks.count(), 1);
    EXPECT_EQ(sendClicks.count(), 0);
    EXPECT_FALSE(TFrShowError::SendingError);
}

} // namespace
