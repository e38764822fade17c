// The two document windows: captions, window titles, tool bars and sizes.
#include "data/Dm_Config.h"
#include "forms/Fr_SearchOrderShereNo.h"
#include "forms/Fr_ShowError.h"
#include "orders/Fr_OrderShere.h"
#include "orders/Fr_OrderSpecial.h"
#include "platform/ui/Modal.h"
#include "support/DemoModules.h"
#include "support/GuiApp.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTest>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

class OrderWindows : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::guiApp();
        previous_ = DmConfig;
        config_.MenuCaption = QStringLiteral("ใบสั่งจัดพิเศษ");
        DmConfig = &config_;
    }
    void TearDown() override { DmConfig = previous_; }

    // Buttons shown, left to right, by their captions.
    static QStringList shownButtons(const TFrForm& form) {
        QList<QToolButton*> buttons = form.ToolBar1->findChildren<QToolButton*>();
        std::sort(buttons.begin(), buttons.end(),
                  [](const QToolButton* a, const QToolButton* b) { return a->x() < b->x(); });
        QStringList captions;
        for (const QToolButton* b : buttons) {
            if (b->isVisible()) {
                captions << b->text();
            }
        }
        return captions;
    }

    ui::ScriptedModalPrompts prompts_;
    ui::ScopedPrompts scope_{prompts_};
    TDMConfig config_;
    TDMConfig* previous_ = nullptr;
};

TEST_F(OrderWindows, ShareOrder) {
    testing_support::DemoModules modules; // a new order reads the server's date
    for (bool showApprove : {false, true}) {
        SCOPED_TRACE(showApprove);
        TFrOrderShere form;
        form.ShowApprove = showApprove;
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

        EXPECT_EQ(form.windowTitle(), QStringLiteral("บันทึกใบแบ่ง Approved AUTO (M22.07.22)"));
        EXPECT_EQ(ui::applicationTitle(), QStringLiteral("ใบแบ่ง"))
            << "the design caption, copied before the form replaces it";
        EXPECT_EQ(form.VersionText, QStringLiteral("M22.07.22"));
        EXPECT_EQ(form.DocCode, QStringLiteral("ORD-SHARE"));
        EXPECT_EQ(form.size(), QSize(1156, 560));
        QStringList expected{QStringLiteral("New"), QStringLiteral("Save"), QStringLiteral("Exit")};
        if (showApprove) {
            expected << QStringLiteral("Approved");
        }
        expected << QStringLiteral("Suggest");
        EXPECT_EQ(shownButtons(form), expected);
        EXPECT_EQ(form.AcApproved->text(), QStringLiteral("AcApproved"));
        EXPECT_TRUE(form.AcApproved->shortcut().isEmpty());
        EXPECT_EQ(form.BApproved->isEnabled(), !showApprove)
            << "the reset disables Approved when it is offered";
        EXPECT_FALSE(form.AcSave->isEnabled());
        EXPECT_EQ(form.BNew->size(), QSize(54, 36));
    }
}

// The title a Linux desktop shows for a window: Qt's desktop platforms (xcb, wayland) append
// " — " and the application display name, once one is set, to the window's own title. The
// offscreen platform of the tests shows none, so the composition is done here.
QString desktopTitle(const QWidget& window) {
    const QString title = window.windowHandle() ? window.windowHandle()->title() : QString();
    const QString name = QGuiApplication::applicationDisplayName();
    const bool nameSet = name != QCoreApplication::applicationName();
    return nameSet && !title.endsWith(name) ? title + QStringLiteral(" — ") + name : title;
}

TEST_F(OrderWindows, WindowTitlesAreExactlyTheCaptions) {
    testing_support::DemoModules modules;
    TFrOrderShere form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QString caption = QStringLiteral("บันทึกใบแบ่ง Approved AUTO (M22.07.22)");
    EXPECT_EQ(form.windowTitle(), caption);
    EXPECT_EQ(desktopTitle(form), caption);
    EXPECT_EQ(ui::applicationTitle(), QStringLiteral("ใบแบ่ง"));

    // A lookup and the error dialog, each shown through the modal seam.
    TFrSearchOrderShereNo lookup(&form);
    TFrShowError error(&form);
    for (QDialog* dialog : {static_cast<QDialog*>(&lookup), static_cast<QDialog*>(&error)}) {
        const QString own = dialog->windowTitle();
        QString shown;
        prompts_.answerModal([&](QDialog& d) {
            shown = desktopTitle(d);
            return int(QDialog::Rejected);
        });
        ui::execModal(*dialog);
        EXPECT_EQ(shown, own);
    }
    EXPECT_EQ(lookup.windowTitle(), QStringLiteral("ค้นหาเลขที่ใบแบ่ง"));
    EXPECT_EQ(error.windowTitle(), QStringLiteral("Windows Error Message"));

    // Message boxes carry the application title, and nothing more.
    const auto box = ui::WidgetPrompts::messageBox({QStringLiteral("text")}, &form);
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("ใบแบ่ง"));
    EXPECT_EQ(desktopTitle(*box), QStringLiteral("ใบแบ่ง"));
    box->hide();
}

TEST_F(OrderWindows, SpecialOrder) {
    testing_support::DemoModules modules(1, 102); // a new order reads the server's date
    DmConfig->MenuCaption = QStringLiteral("ใบสั่งจัดพิเศษ");
    TFrOrderSpecial form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    const QString caption = QStringLiteral("ใบสั่งจัดพิเศษ (M24.03.26)");
    EXPECT_EQ(form.windowTitle(), caption);
    EXPECT_EQ(desktopTitle(form), caption);
    EXPECT_EQ(ui::applicationTitle(), caption);
    EXPECT_EQ(form.DocCode, QStringLiteral("PICKSPECIA"));
    EXPECT_EQ(form.size(), QSize(1140, 695));
    EXPECT_EQ(shownButtons(form),
              (QStringList{QStringLiteral("New"), QStringLiteral("Save"), QStringLiteral("Print"),
                           QStringLiteral("Exit"), QStringLiteral("Import Excel")}));
    for (const QToolButton* b : {form.BNew, form.BSave, form.BPrint, form.BExit}) {
        EXPECT_EQ(b->size(), QSize(65, 36)) << b->text().toStdString();
    }
    // The longer caption is read whole: the button is as wide as it needs, 65 at least.
    EXPECT_GE(form.BtImportExcel->width(), 65);
    EXPECT_GE(form.BtImportExcel->width(), form.BtImportExcel->sizeHint().width());
    EXPECT_TRUE(form.BtImportExcel->isEnabled()) << "a fresh order may import";
    EXPECT_FALSE(form.AcSave->isEnabled());
    EXPECT_TRUE(form.AcPrint->isEnabled());

    // Print is offered; a new order has nothing stored to print.
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &form; }));
    QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(prompts_.entries().empty());
    EXPECT_TRUE(form.isVisible());
}

TEST_F(OrderWindows, SpecialOrderWithoutConfigurationShowsTheVersionOnly) {
    DmConfig = nullptr;
    EXPECT_EQ(TFrOrderSpecial::captionText(), QStringLiteral(" (M24.03.26)"));
}

} // namespace
