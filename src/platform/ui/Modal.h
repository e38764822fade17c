#pragma once

#include "platform/ui/Prompts.h"

#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QDialog;
class QMessageBox;
class QWidget;

namespace ui {

// The application's title, which message boxes show as theirs; the document form sets it
// to its caption when shown. Qt's application display name would do the same but is also
// appended to every window title on Linux desktops. Before it is set: the program's name.
void setApplicationTitle(const QString& title);
QString applicationTitle();

// Prompts that also show modal windows (lookups, the error dialog). Every modal window of
// the system is shown through ui::execModal, so tests can answer it without a modal loop.
class ModalPrompts : public Prompts {
public:
    // Shows the dialog modally and returns its result (QDialog::Accepted / Rejected or the
    // value given to done()).
    virtual int execModal(QDialog& dialog) = 0;
};

// Shows a modal window through the installed prompts when they are ModalPrompts, otherwise
// with dialog.exec().
int execModal(QDialog& dialog);

// The real implementation: standard message boxes in the colours of the request and
// QDialog::exec() for modal windows.
class WidgetPrompts : public ModalPrompts {
public:
    void message(const MessageRequest& request) override;
    bool confirm(const ConfirmRequest& request) override;
    int execModal(QDialog& dialog) override;

    // The boxes message() and confirm() show, built but not shown; the parent is the
    // active window. A confirmation has Yes (the default button) and No (Esc and the
    // close box answer No).
    static std::unique_ptr<QMessageBox> messageBox(const MessageRequest& request,
                                                   QWidget* parent = nullptr);
    static std::unique_ptr<QMessageBox> confirmBox(const ConfirmRequest& request,
                                                   QWidget* parent = nullptr);
};

// Scripted prompts for tests and screenless runs: messages and confirmations as in
// ScriptedPrompts; each modal window is shown (not modally, so its show-time handling
// runs) and handed to the next queued handler, whose return value is the window's result.
// With the queue empty the window is rejected. Afterwards the window is hidden.
class ScriptedModalPrompts : public ModalPrompts {
public:
    using Entry = ScriptedPrompts::Entry;
    using ModalHandler = std::function<int(QDialog&)>;
    struct ModalEntry {
        QString title;
        int result;
    };

    void message(const MessageRequest& request) override;
    bool confirm(const ConfirmRequest& request) override;
    int execModal(QDialog& dialog) override;

    void answer(bool yes) { script_.answer(yes); }
    void answerModal(ModalHandler handler) { modalHandlers_.push_back(std::move(handler)); }
    // Called after each message or confirmation is recorded.
    std::function<void(const Entry&)> onEntry;

    const std::vector<Entry>& entries() const { return script_.entries(); }
    QStringList texts() const { return script_.texts(); }
    // Window titles and results of the modal windows shown, in order.
    const std::vector<ModalEntry>& modals() const { return modals_; }
    void clear();

private:
    ScriptedPrompts script_;
    std::deque<ModalHandler> modalHandlers_;
    std::vector<ModalEntry> modals_;
};

} // namespace ui
