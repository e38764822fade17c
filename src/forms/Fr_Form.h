#pragma once

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>

class QAction;
class QFrame;
class QHBoxLayout;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QStatusBar;
class QToolButton;
class QVBoxLayout;

// The base window of the document forms: tool bar, actions with their short-cut keys,
// Enter/Esc keyboard rules, the exit question and the status bar. It is the program's main
// window; closing it ends the program.
//
// Derived forms replace FormShow and AcNewExecute. A derived FormShow first calls
// TFrForm::FormShow (which resets with the base AcNewExecute only), adjusts its buttons and
// caption and then runs its own AcNewExecute; a derived AcNewExecute first calls
// TFrForm::AcNewExecute. Derived forms put their panels and grids into ClientLayout.
class TFrForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TFrForm(QWidget* parent = nullptr);
    ~TFrForm() override;

    // The eight tool bar images: new, delete, save, exit, history, copy, print,
    // change code / approve.
    QList<QIcon> ImageList1;

    QAction* AcNew = nullptr;
    QAction* AcDel = nullptr;
    QAction* AcSave = nullptr;
    QAction* AcHist = nullptr;
    QAction* AcCopy = nullptr;
    QAction* AcPrint = nullptr;
    QAction* AcExit = nullptr;
    QAction* AcChgCode = nullptr;
    QAction* AcApporved = nullptr;
    QList<QAction*> ActionList1;

    QFrame* Panel2 = nullptr;
    QWidget* ToolBar1 = nullptr;
    QToolButton* BNew = nullptr;
    QToolButton* BDel = nullptr;
    QToolButton* BSave = nullptr;
    QToolButton* BChgCode = nullptr;
    QToolButton* BHist = nullptr;
    QToolButton* BCopy = nullptr;
    QToolButton* BPrint = nullptr;
    QToolButton* BApporved = nullptr;
    QToolButton* BExit = nullptr;

    QLineEdit* ChgCode = nullptr;

    // The area between the tool bar and the status bar.
    QWidget* Client = nullptr;
    QVBoxLayout* ClientLayout = nullptr;

    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 2> StatusPanels{};

    // Shown: sets the application title to the caption, hides the buttons the documents do
    // not offer and runs the base reset.
    virtual void FormShow();
    // The reset to an empty document: hides ChgCode, disables Save, Delete and Chg Code,
    // turns key preview on.
    virtual void AcNewExecute();
    // Closes the form; the close asks the exit question.
    void AcExitExecute();

    // With key preview on the form sees every key first: Enter moves to the next tab stop,
    // Esc asks to leave.
    bool keyPreview() const { return keyPreview_; }
    void setKeyPreview(bool on) { keyPreview_ = on; }
    // Enter in the control and the widgets inside it (a grid's cell editors) stays with the
    // control, for a grid where Enter moves between cells; Esc still asks to leave.
    void leaveEnterTo(QWidget* control);

    // Client area size of the window (fixed: the window is not resizable).
    void setClientSize(int width, int height);

    // Adds a tool button after the present ones, showing an action or a caption and image.
    QToolButton* addToolButton(QAction* action);
    QToolButton* addToolButton(const QString& caption, int imageIndex);
    void setToolButtonWidth(int width);

    // The exit question; true when the user answers Yes.
    bool FormClose();
    static QString exitQuestion();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* newAction(const QString& caption, const QString& hint, int image,
                       const QKeySequence& shortcut);
    QToolButton* newToolButton();
    bool previewKey(QWidget* control, QKeyEvent& key);
    bool actionTakesKey(const QKeyEvent& key) const;
    void centreOnScreen();

    QHBoxLayout* toolLayout_ = nullptr;
    QList<QToolButton*> toolButtons_;
    QList<QPointer<QWidget>> enterOwners_;
    int toolButtonWidth_ = 54;
    bool keyPreview_ = true;
    bool centred_ = false;
};
