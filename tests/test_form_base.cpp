// The base document window: exit question, short cuts, Enter navigation and exit handlers.
#include "data/Dm_Config.h"
#include "forms/Fr_Form.h"
#include "platform/ui/Focus.h"
#include "platform/ui/Modal.h"
#include "support/GuiApp.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A document form with three single-line edits and a multi-line one, in that tab order.
class TestForm : public TFrForm {
public:
    TestForm() {
        setWindowTitle(QStringLiteral("Test document"));
        EdA = addEdit<QLineEdit>("EdA");
        EdB = addEdit<QLineEdit>("EdB");
        EdC = addEdit<QLineEdit>("EdC");
        Memo = addEdit<QPlainTextEdit>("Memo");
    }
    void AcNewExecute() override {
        TFrForm::AcNewExecute();
        ++derivedResets;
    }
    QLineEdit* EdA;
    QLineEdit* EdB;
    QLineEdit* EdC;
    QPlainTextEdit* Memo;
    int derivedResets = 0;

private:
    template <class Edit> Edit* addEdit(const char* name) {
        auto* edit = new Edit(Client);
        edit->setObjectName(QString::fromLatin1(name));
        ClientLayout->addWidget(edit);
        return edit;
    }
};

class FormBase : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::guiApp();
        previousConfig_ = DmConfig;
        config_ = std::make_unique<TDMConfig>();
        config_->ThaiLanguage = true;
        DmConfig = config_.get();
        form_ = std::make_unique<TestForm>();
        showActive(*form_);
    }
    void TearDown() override {
        form_.reset();
        DmConfig = previousConfig_;
    }

    // Shows the window and waits until it is the active window itself (a window counts as
    // active for qWaitForWindowActive while a window of its own is).
    static void showActive(QWidget& window) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; }));
    }
    // Focus on a control of the active form, ready for typed keys.
    void focus(QWidget* control) {
        showActive(*form_);
        control->setFocus(Qt::OtherFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), control);
    }
    static void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(k), modifiers);
    }

    ui::ScriptedModalPrompts prompts_;
    ui::ScopedPrompts scope_{prompts_};
    TDMConfig* previousConfig_ = nullptr;
    std::unique_ptr<TDMConfig> config_;
    std::unique_ptr<TestForm> form_;
};

TEST_F(FormBase, ShowingRunsTheBaseResetAndHidesTheUnofferedButtons) {
    EXPECT_EQ(form_->derivedResets, 0) << "the base show runs the base reset only";
    EXPECT_EQ(ui::applicationTitle(), QStringLiteral("Test document"));
    EXPECT_EQ(form_->windowHandle()->title(), QStringLiteral("Test document"));
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName())
        << "a display name would be appended to every window title";
    EXPECT_FALSE(form_->ChgCode->isVisible());
    EXPECT_EQ(form_->ChgCode->text(), QStringLiteral("CHGCODE"));
    EXPECT_FALSE(form_->AcSave->isEnabled());
    EXPECT_FALSE(form_->AcDel->isEnabled());
    EXPECT_FALSE(form_->AcChgCode->isEnabled());
    EXPECT_TRUE(form_->AcNew->isEnabled());
    EXPECT_TRUE(form_->keyPreview());

    const struct {
        QToolButton* button;
        const char* caption;
        bool visible;
    } buttons[] = {{form_->BNew, "New", true},      {form_->BDel, "Delete", true},
                   {form_->BSave, "Save", true},    {form_->BChgCode, "Chg Code", false},
                   {form_->BHist, "Hist.", false},  {form_->BCopy, "Copy", false},
                   {form_->BPrint, "Print", false}, {form_->BApporved, "Apporved", false},
                   {form_->BExit, "Exit", true}};
    int lastX = -1;
    for (const auto& b : buttons) {
        EXPECT_EQ(b.button->text(), QString::fromLatin1(b.caption));
        EXPECT_EQ(b.button->isVisible(), b.visible) << b.caption;
        EXPECT_EQ(b.button->size(), QSize(54, 36)) << b.caption;
        EXPECT_EQ(b.button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        if (b.visible) {
            EXPECT_GT(b.button->x(), lastX) << b.caption << " is out of order";
            lastX = b.button->x();
        }
    }
    EXPECT_EQ(form_->size(), QSize(757, 421));
    EXPECT_EQ(form_->minimumSize(), form_->maximumSize()) << "the window is not resizable";
    EXPECT_FALSE(form_->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form_->StatusPanels[0]->width(), 200);
    EXPECT_EQ(form_->StatusPanels[1]->width(), 50);
}

TEST_F(FormBase, ActionsCarryTheirCaptionsHintsAndShortCuts) {
    const struct {
        QAction* action;
        const char* caption;
        const char* hint;
        QKeySequence shortcut;
    } actions[] = {
        {form_->AcNew, "New", "New Record", QKeySequence(Qt::Key_F3)},
        {form_->AcDel, "Delete", "Delete Record", QKeySequence(Qt::Key_F8)},
        {form_->AcSave, "Save", "Save Record", QKeySequence(Qt::Key_F10)},
        {form_->AcHist, "Hist.", "Show History", QKeySequence(Qt::CTRL | Qt::Key_H)},
        {form_->AcCopy, "Copy", "Copy Record", QKeySequence(Qt::Key_F6)},
        {form_->AcPrint, "Print", "Print Record", QKeySequence(Qt::CTRL | Qt::Key_P)},
        {form_->AcExit, "Exit", "Exit Program", QKeySequence(Qt::CTRL | Qt::Key_X)},
        {form_->AcChgCode, "Chg Code", nullptr, QKeySequence(Qt::Key_F12)},
        {form_->AcApporved, "Apporved", nullptr, QKeySequence()},
    };
    for (const auto& a : actions) {
        EXPECT_EQ(a.action->text(), QString::fromLatin1(a.caption));
        if (a.hint != nullptr) {
            EXPECT_EQ(a.action->toolTip(), QString::fromLatin1(a.hint));
        }
        EXPECT_EQ(a.action->shortcut(), a.shortcut) << a.caption;
        EXPECT_TRUE(form_->ActionList1.contains(a.action));
    }
}

TEST_F(FormBase, EveryWayOfClosingAsksTheExitQuestionInTheUsersLanguage) {
    enum Way { Esc, CtrlX, ExitButton, CloseBox };
    enum Language { Thai, English, NoConfig };
    const char* wayNames[] = {"Esc", "Ctrl+X", "Exit button", "close box"};
    for (Way way : {Esc, CtrlX, ExitButton, CloseBox}) {
        for (Language language : {Thai, English, NoConfig}) {
            for (bool yes : {false, true}) {
                SCOPED_TRACE(testing::Message() << wayNames[way] << ", language " << language
                                                << ", answer " << (yes ? "Yes" : "No"));
                form_ = std::make_unique<TestForm>();
                showActive(*form_);
                config_->ThaiLanguage = language == Thai;
                DmConfig = language == NoConfig ? nullptr : config_.get();
                prompts_.clear();
                prompts_.answer(yes);
                focus(form_->EdB);
                QTest::keyClicks(form_->EdB, QStringLiteral("abc"));
                form_->EdB->selectAll(); // Ctrl+X would cut it, if the edit got the key

                switch (way) {
                case Esc:
                    key(Qt::Key_Escape);
                    break;
                case CtrlX:
                    key(Qt::Key_X, Qt::ControlModifier);
                    break;
                case ExitButton:
                    QTest::mouseClick(form_->BExit, Qt::LeftButton);
                    break;
                case CloseBox: {
                    QCloseEvent close;
                    QCoreApplication::sendEvent(form_->windowHandle(), &close);
                    break;
                }
                }

                ASSERT_EQ(prompts_.entries().size(), 1U);
                const auto& asked = prompts_.entries().front();
                EXPECT_TRUE(asked.confirmation);
                EXPECT_EQ(asked.text, language == Thai ? QStringLiteral("ออกจากโปรแกรม ?")
                                                       : QStringLiteral("Exit Program ?"));
                EXPECT_EQ(asked.background, (ui::Rgb{0, 128, 0}));
                EXPECT_EQ(asked.foreground, (ui::Rgb{255, 255, 255}));
                EXPECT_EQ(form_->isVisible(), !yes);
                if (!yes) {
                    EXPECT_EQ(form_->EdB->text(), QStringLiteral("abc"));
                    EXPECT_EQ(QApplication::focusWidget(), form_->EdB);
                }
            }
        }
    }
}

TEST_F(FormBase, ShortCutsWithoutHandlerAndDisabledSaveDoNothing) {
    int saves = 0;
    QObject::connect(form_->AcSave, &QAction::triggered, [&saves] { ++saves; });
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        const char* name;
    } keys[] = {
        {Qt::Key_F8, Qt::NoModifier, "F8"},         {Qt::Key_F6, Qt::NoModifier, "F6"},
        {Qt::Key_F12, Qt::NoModifier, "F12"},       {Qt::Key_H, Qt::ControlModifier, "Ctrl+H"},
        {Qt::Key_P, Qt::ControlModifier, "Ctrl+P"}, {Qt::Key_F10, Qt::NoModifier, "F10"}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.name);
        focus(form_->EdA);
        form_->EdA->setText(QStringLiteral("ABC"));
        key(k.key, k.modifiers);
        EXPECT_EQ(form_->EdA->text(), QStringLiteral("ABC"));
        EXPECT_EQ(QApplication::focusWidget(), form_->EdA);
        EXPECT_TRUE(form_->isVisible());
    }
    EXPECT_TRUE(prompts_.entries().empty());
    EXPECT_EQ(saves, 0);

    form_->AcSave->setEnabled(true); // as a derived form does when its document may be saved
    key(Qt::Key_F10);
    EXPECT_EQ(saves, 1);
}

TEST_F(FormBase, F3RunsTheDerivedResetWhichRestoresTheBaseState) {
    form_->AcSave->setEnabled(true);
    form_->setKeyPreview(false);
    focus(form_->EdA);
    key(Qt::Key_F3);
    EXPECT_EQ(form_->derivedResets, 1);
    EXPECT_FALSE(form_->AcSave->isEnabled());
    EXPECT_TRUE(form_->keyPreview());
}

TEST_F(FormBase, EnterMovesToTheNextTabStopWrapsAndNeverInsertsALineBreak) {
    QList<int> keysSeenByEdA;
    ui::onKeyDown(form_->EdA, [&](QKeyEvent& e) {
        keysSeenByEdA << e.key();
        return false;
    });
    form_->EdC->setEnabled(false); // not a tab stop
    focus(form_->EdA);
    QWidget* const expected[] = {form_->EdB, form_->Memo, form_->EdA, form_->EdB};
    for (QWidget* next : expected) {
        key(Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    EXPECT_EQ(keysSeenByEdA, (QList<int>{Qt::Key_Return, Qt::Key_Return}))
        << "the control's own key handler still sees Enter, both times it left EdA";
    focus(form_->Memo);
    key(Qt::Key_Enter);
    EXPECT_EQ(form_->Memo->toPlainText(), QString());

    // Without key preview the control has Enter to itself.
    form_->setKeyPreview(false);
    focus(form_->Memo);
    key(Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), form_->Memo);
    EXPECT_EQ(form_->Memo->toPlainText(), QStringLiteral("\n"));
    key(Qt::Key_Escape);
    EXPECT_TRUE(prompts_.entries().empty()) << "Esc belongs to the control too";
}

// Exit handlers run when the focus moves on inside the window, never because another window
// came over it.
class ExitHandlers : public FormBase {
protected:
    void SetUp() override {
        FormBase::SetUp();
        ui::onExit(form_->EdA, [this] { ++exits_; });
        focus(form_->EdA);
    }
    int exits_ = 0;
};

TEST_F(ExitHandlers, RunWhenTheFocusMovesToAnotherControl) {
    const struct {
        const char* way;
        std::function<void(TestForm&)> move;
    } ways[] = {
        {"Tab", [](TestForm&) { key(Qt::Key_Tab); }},
        {"Enter", [](TestForm&) { key(Qt::Key_Return); }},
        {"click", [](TestForm& f) { QTest::mouseClick(f.EdC, Qt::LeftButton); }},
        {"code", [](TestForm& f) { f.EdB->setFocus(); }},
    };
    for (const auto& w : ways) {
        SCOPED_TRACE(w.way);
        focus(form_->EdA);
        exits_ = 0;
        w.move(*form_);
        EXPECT_NE(QApplication::focusWidget(), form_->EdA);
        EXPECT_EQ(exits_, 1);
    }
}

TEST_F(ExitHandlers, DoNotRunWhenAnotherWindowOpensOverTheFormAndClosesAgain) {
    // A real message box, shown without a modal loop.
    QMessageBox box(QMessageBox::Information, QStringLiteral("t"), QStringLiteral("text"),
                    QMessageBox::Ok, form_.get());
    showActive(box);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->window(), &box);
    box.hide();
    showActive(*form_);

    // Any other top-level window given the focus.
    QLineEdit other;
    showActive(other);
    other.setFocus();
    EXPECT_EQ(QApplication::focusWidget(), &other);
    other.hide();
    showActive(*form_);

    EXPECT_EQ(QApplication::focusWidget(), form_->EdA) << "the focus came back";
    EXPECT_EQ(exits_, 0);
    key(Qt::Key_Tab);
    EXPECT_EQ(exits_, 1) << "and leaving it afterwards still counts";
}

TEST_F(ExitHandlers, AHandlerThatPutsTheFocusBackRunsNoOtherExitHandler) {
    int exitsOfB = 0;
    ui::onExit(form_->EdB, [&] { ++exitsOfB; });
    ui::onExit(form_->EdA, [this] {
        ++exits_;
        form_->EdA->setFocus(); // wrong input: stay
    });
    key(Qt::Key_Tab);
    EXPECT_EQ(exits_, 1);
    EXPECT_EQ(exitsOfB, 0);
    EXPECT_EQ(QApplication::focusWidget(), form_->EdA);
}

} // namespace
