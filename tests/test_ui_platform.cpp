// The Widgets helpers: handler guard and backstop, modal seam, message boxes, upper-case and
// numeric edits.
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
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
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

// Types text key by key; QTest::keyClicks knows ASCII keys only, so Thai digits go as key
// events that carry their text.
void typeKeys(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClick(widget, c.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

TEST_F(UiPlatform, NumericEditsTakeDigitsOnePointAndALeadingMinusOnly) {
    const struct {
        const char* keys;
        const char* typed; // what the edit holds after the keys
    } keys[] = {
        {"abc", ""},       {"0x10", "010"},      {"๑๒", ""},        {"1e5", "15"},
        {"1,000", "1000"}, {"-12.50", "-12.50"}, {"1.2.3", "1.23"}, {"1-2", "12"},
        {"--5", "-5"},     {"+5", "5"},          {" 7", "7"},       {".5", ".5"},
    };
    QLineEdit edit;
    ui::setNumeric(&edit);
    for (const auto& k : keys) {
        SCOPED_TRACE(k.keys);
        edit.clear();
        typeKeys(&edit, QString::fromUtf8(k.keys));
        EXPECT_EQ(edit.text(), QString::fromUtf8(k.typed));
    }
    // Pasted text goes through the same check as a whole.
    for (const char* pasted : {"abc", "0x10", "๑๒", "1e5", "1,000", "12a", "inf", "-"}) {
        SCOPED_TRACE(pasted);
        edit.setText(QStringLiteral("5"));
        edit.selectAll();
        edit.insert(QString::fromUtf8(pasted));
        EXPECT_EQ(edit.text(), QString::fromUtf8(std::strcmp(pasted, "-") == 0 ? "-" : "5"));
    }
    edit.selectAll();
    edit.insert(QStringLiteral("-3.25"));
    EXPECT_EQ(edit.text(), QStringLiteral("-3.25"));
}

TEST_F(UiPlatform, NumericValuesAndTheIntRange) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* text;
        std::optional<double> value;
    } texts[] = {{"", std::nullopt},
                 {"-", std::nullopt},
                 {".", std::nullopt},
                 {"-.", std::nullopt},
                 {"abc", std::nullopt},
                 {"1e5", std::nullopt},
                 {"๑๒", std::nullopt},
                 {"12.5", 12.5},
                 {"-0.5", -0.5},
                 {"007", 7},
                 {"2.", 2}};
    for (const auto& t : texts) {
        EXPECT_EQ(ui::numericValue(QString::fromUtf8(t.text)), t.value) << t.text;
    }
    EXPECT_EQ(ui::numericValue(QString(400, QLatin1Char('9'))), inf);
    EXPECT_EQ(ui::numericValue(QLatin1Char('-') + QString(400, QLatin1Char('9'))), -inf);

    const ui::NumericRange range = ui::NumericRange::int32();
    const struct {
        double value;
        bool inside;
    } values[] = {
        {2147483647, true},    {2147483647.4, true},
        {2147483647.5, false}, // half to even
        {2147483648, false},   {-2147483648, true},
        {-2147483648.5, true}, {-2147483649, false},
        {1e19, false},         {9223372036854775807.0, false},
        {inf, false},          {-inf, false},
        {std::nan(""), false}, {0, true},
        {-13.5, true},
    };
    for (const auto& v : values) {
        EXPECT_EQ(range.contains(v.value), v.inside) << std::to_string(v.value);
    }
    EXPECT_EQ(range.outOfRangeMessage(),
              QStringLiteral("ตัวเลขเกินขอบเขต !!") + QChar(13) +
                  QStringLiteral("ป้อนได้ตั้งแต่ -2,147,483,648 ถึง 2,147,483,647"));
}

} // namespace
