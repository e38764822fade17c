#include "platform/ui/Modal.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPalette>

namespace ui {

namespace {

QMessageBox::Icon iconOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Information:
        return QMessageBox::Information;
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Confirmation:
    case MessageKind::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString& titleStore() {
    static QString title;
    return title;
}

QString cssColour(Rgb c) {
    return QStringLiteral("rgb(%1, %2, %3)").arg(c.r).arg(c.g).arg(c.b);
}

std::unique_ptr<QMessageBox> newBox(const QString& text, MessageKind kind, QWidget* parent) {
    if (parent == nullptr) {
        parent = QApplication::activeWindow();
    }
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(iconOf(kind));
    box->setWindowTitle(applicationTitle());
    box->setText(text);
    box->setTextFormat(Qt::PlainText);
    return box;
}

} // namespace

void setApplicationTitle(const QString& title) {
    titleStore() = title;
}

QString applicationTitle() {
    return titleStore().isEmpty() ? QCoreApplication::applicationName() : titleStore();
}

int execModal(QDialog& dialog) {
    if (auto* modal = dynamic_cast<ModalPrompts*>(&Prompts::current())) {
        return modal->execModal(dialog);
    }
    return dialog.exec();
}

std::unique_ptr<QMessageBox> WidgetPrompts::messageBox(const MessageRequest& request,
                                                       QWidget* parent) {
    auto box = newBox(request.text, request.kind, parent);
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    return box;
}

std::unique_ptr<QMessageBox> WidgetPrompts::confirmBox(const ConfirmRequest& request,
                                                       QWidget* parent) {
    auto box = newBox(request.text, request.kind, parent);
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::Yes);
    box->setEscapeButton(QMessageBox::No);

    // Both the palette and a style sheet: the palette alone is ignored by some styles, and
    // the sheet keeps the buttons in their normal look (it names the box and its labels only).
    const QColor background(request.background.r, request.background.g, request.background.b);
    const QColor foreground(request.foreground.r, request.foreground.g, request.foreground.b);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, foreground);
    box->setPalette(palette);
    box->setAutoFillBackground(true);
    box->setStyleSheet(QStringLiteral("QMessageBox { background-color: %1; }"
                                      " QMessageBox QLabel { color: %2; }")
                           .arg(cssColour(request.background), cssColour(request.foreground)));
    return box;
}

void WidgetPrompts::message(const MessageRequest& request) {
    messageBox(request)->exec();
}

bool WidgetPrompts::confirm(const ConfirmRequest& request) {
    const auto box = confirmBox(request);
    box->exec();
    return box->clickedButton() == box->button(QMessageBox::Yes);
}

int WidgetPrompts::execModal(QDialog& dialog) {
    return dialog.exec();
}

void ScriptedModalPrompts::message(const MessageRequest& request) {
    script_.message(request);
    if (onEntry) {
        onEntry(script_.entries().back());
    }
}

bool ScriptedModalPrompts::confirm(const ConfirmRequest& request) {
    const bool yes = script_.confirm(request);
    if (onEntry) {
        onEntry(script_.entries().back());
    }
    return yes;
}

int ScriptedModalPrompts::execModal(QDialog& dialog) {
    const QString title = dialog.windowTitle();
    struct HideAfter {
        QDialog& dialog;
        ~HideAfter() {
            if (dialog.isVisible()) {
                dialog.hide();
            }
        }
    } hideAfter{dialog};
    dialog.show();
    int result = QDialog::Rejected;
    if (modalHandlers_.empty()) {
        dialog.reject();
    } else {
        const ModalHandler handler = std::move(modalHandlers_.front());
        modalHandlers_.pop_front();
        result = handler(dialog);
    }
    modals_.push_back({title, result});
    return result;
}

void ScriptedModalPrompts::clear() {
    script_.clear();
    modals_.clear();
}

} // namespace ui
