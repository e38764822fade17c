#pragma once

#include <QDialog>
#include <QString>
#include <chrono>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

// The red error dialog of the application-wide error handler: shows the error text and
// closes itself on the ninth tick of its one-second timer, or at once with either button.
// Shown through ui::execModal.
class TFrShowError : public QDialog {
    Q_OBJECT
public:
    explicit TFrShowError(QWidget* parent = nullptr,
                          std::chrono::milliseconds tick = std::chrono::milliseconds(1000));

    QString ErrorText;

    QPlainTextEdit* ErrorBox = nullptr;
    QPushButton* BOk = nullptr;
    QPushButton* BCancel = nullptr;
    QLabel* TimeCount = nullptr;
    QTimer* Timer1 = nullptr;

    // Shared by every instance; reset each time a dialog is shown.
    static int CloseCountdown;
    static bool SendingError;

    void FormShow();
    void Timer1Timer();
    void BOkClick();
    void BCancelClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};
