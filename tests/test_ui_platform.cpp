// The Widgets helpers: handler guard and backstop, modal seam, message boxes, upper-case edits.
#include "platform/ui/Edits.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Modal.h"
#include "support/GuiApp.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

QString messageOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("?");
    }
}

class UiPlatform : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::guiApp();
        previous_ = ui::setExceptionSink(
            [this](std::exception_ptr error) { delivered_ << messageOf(error); });
    }
    void TearDown() override { ui::setExceptionSink(previous_); }

    ui::ExceptionSink previous_;
    QStringList delivered_;
};

class Handlers : public QObject {
public:
    void Fails() { throw std::runtime_error("handler failed"); }
    void Takes(bool checked) { seen << checked; }
    void Aborts() { throw ui::SilentAbort{}; }
    QList<bool> seen;
};

TEST_F(UiPlatform, GuardedHandlersHandTheirExceptionsToTheSink) {
    QPushButton button;
    button.setCheckable(true);
    Handlers handlers;
    int ran = 0;
    QObject::connect(&button, &QPushButton::clicked, &handlers, ui::guard([&] { ++ran; }));
    ui::on(&button, &QPushButton::clicked, &handlers, &Handlers::Fails);
    ui::on(&button, &QPushButton::clicked, &handlers, &Handlers::Takes);
    ui::on(&button, &QPushButton::clicked, &handlers, &Handlers::Aborts);

    button.click();

    EXPECT_EQ(ran, 1);
    EXPECT_EQ(handlers.seen, (QList<bool>{true})) << "the signal's argument reaches the handler";
    EXPECT_EQ(delivered_, (QStringList{QStringLiteral("handler failed")}))
        << "the silent abort is swallowed";
}

// An object whose event handler throws, as a widget's event override might.
class ThrowingObject : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            throw std::runtime_error("event failed");
        }
        return QObject::event(e);
    }
};

TEST_F(UiPlatform, TheApplicationDeliversExceptionsEscapingEventHandlers) {
    ThrowingObject object;
    QEvent event(QEvent::User);
    EXPECT_NO_THROW(QCoreApplication::sendEvent(&object, &event));
    EXPECT_EQ(delivered_, (QStringList{QStringLiteral("event failed")}));
}

TEST_F(UiPlatform, AFailingSinkDoesNotEscape) {
    ui::setExceptionSink([](std::exception_ptr) { throw std::runtime_error("sink failed"); });
    EXPECT_NO_THROW(ui::guard([] { throw std::runtime_error("x"); })());
}

TEST_F(UiPlatform, ScriptedModalWindowsAreShownToTheirHandlerAndRejectedWhenNoneIsLeft) {
    ui::ScriptedModalPrompts prompts;
    ui::ScopedPrompts scope(prompts);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Lookup"));
    bool wasVisible = false;
    prompts.answerModal([&](QDialog& shown) {
        wasVisible = shown.isVisible();
        shown.accept();
        return shown.result();
    });

    EXPECT_EQ(ui::execModal(dialog), QDialog::Accepted);
    EXPECT_TRUE(wasVisible);
    EXPECT_EQ(ui::execModal(dialog), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_EQ(prompts.modals().size(), 2U);
    EXPECT_EQ(prompts.modals()[0].title, QStringLiteral("Lookup"));
    EXPECT_EQ(prompts.modals()[0].result, QDialog::Accepted);
    EXPECT_EQ(prompts.modals()[1].result, QDialog::Rejected);

    prompts.answer(true);
    EXPECT_TRUE(ui::Prompts::current().confirm({QStringLiteral("Q ?")}));
    EXPECT_FALSE(ui::Prompts::current().confirm({QStringLiteral("Q ?")})) << "No when dry";
    EXPECT_EQ(prompts.texts(), (QStringList{QStringLiteral("Q ?"), QStringLiteral("Q ?")}));
}

// The real confirmation box, shown without a modal loop: Yes is the default, Esc and the
// close box answer No, and the box shows the request's colours.
TEST_F(UiPlatform, ConfirmationBoxAnswersAndColours) {
    const struct {
        const char* how;
        std::function<void(QMessageBox&)> answer;
        QMessageBox::StandardButton expected;
    } answers[] = {
        {"Enter", [](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Return); }, QMessageBox::Yes},
        {"Esc", [](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Escape); }, QMessageBox::No},
        {"close box", [](QMessageBox& b) { b.close(); }, QMessageBox::No},
    };
    for (const auto& a : answers) {
        SCOPED_TRACE(a.how);
        const auto box = ui::WidgetPrompts::confirmBox({QStringLiteral("Exit Program ?"),
                                                        ui::MessageKind::Confirmation,
                                                        {0, 128, 0},
                                                        {255, 255, 255}});
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->text(), QStringLiteral("Exit Program ?"));
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
        box->show();
        box->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == box.get(); }));
        const QImage shot = box->grab().toImage();
        EXPECT_EQ(shot.pixelColor(2, 2), QColor(0, 128, 0));
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::white));
        a.answer(*box);
        EXPECT_EQ(box->standardButton(box->clickedButton()), a.expected);
    }
}

TEST_F(UiPlatform, MessageBoxesShowTheIconOfTheirKind) {
    const struct {
        ui::MessageKind kind;
        QMessageBox::Icon icon;
    } kinds[] = {{ui::MessageKind::Information, QMessageBox::Information},
                 {ui::MessageKind::Warning, QMessageBox::Warning},
                 {ui::MessageKind::Error, QMessageBox::Critical},
                 {ui::MessageKind::Question, QMessageBox::Question}};
    for (const auto& k : kinds) {
        const auto box = ui::WidgetPrompts::messageBox({QStringLiteral("text"), k.kind});
        EXPECT_EQ(box->icon(), k.icon);
        EXPECT_EQ(box->text(), QStringLiteral("text"));
    }
}

TEST_F(UiPlatform, UpperCaseEditsKeepTypedAndAssignedTextInUpperCase) {
    QLineEdit edit;
    ui::setUpperCase(&edit);
    edit.setText(QStringLiteral("ord-6701"));
    EXPECT_EQ(edit.text(), QStringLiteral("ORD-6701"));
    edit.clear();
    QTest::keyClicks(&edit, QStringLiteral("ab1c"));
    EXPECT_EQ(edit.text(), QStringLiteral("AB1C"));
    edit.setText(QStringLiteral("สาขา a"));
    EXPECT_EQ(edit.text(), QStringLiteral("สาขา A"));
}

} // namespace
