#include "forms/Fr_ShowError.h"

#include "platform/ui/Guard.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

int TFrShowError::CloseCountdown = 10;
bool TFrShowError::SendingError = false;

namespace {

QFont dialogFont(int pixelSize, bool bold) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace

TFrShowError::TFrShowError(QWidget* parent, std::chrono::milliseconds tick)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral("Windows Error Message"));
    setFont(dialogFont(11, false));
    setFixedSize(344, 101);

    const QColor red(255, 0, 0);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, red);
    setPalette(palette);
    setAutoFillBackground(true);

    ErrorBox = new QPlainTextEdit(this);
    ErrorBox->setObjectName(QStringLiteral("ErrorBox"));
    ErrorBox->setReadOnly(true);
    ErrorBox->setFocusPolicy(Qt::ClickFocus);
    ErrorBox->setGeometry(0, 0, 344, 65);
    QPalette boxPalette = ErrorBox->palette();
    boxPalette.setColor(QPalette::Base, red);
    // The text takes the system's window colour (white in the standard scheme).
    boxPalette.setColor(QPalette::Text, QApplication::palette().color(QPalette::Base));
    ErrorBox->setPalette(boxPalette);

    TimeCount = new QLabel(this);
    TimeCount->setObjectName(QStringLiteral("TimeCount"));
    TimeCount->setFont(dialogFont(16, true));
    TimeCount->setGeometry(8, 72, 100, 22);

    BOk = new QPushButton(QStringLiteral("Send Error"), this);
    BOk->setObjectName(QStringLiteral("BOk"));
    BOk->setFont(dialogFont(11, true));
    BOk->setCursor(Qt::PointingHandCursor);
    BOk->setGeometry(150, 70, 92, 26);

    BCancel = new QPushButton(QStringLiteral("Don't Send"), this);
    BCancel->setObjectName(QStringLiteral("BCancel"));
    BCancel->setFont(dialogFont(11, true));
    BCancel->setCursor(Qt::PointingHandCursor);
    BCancel->setGeometry(247, 70, 92, 26);
    BCancel->setDefault(true);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(tick);

    connect(BOk, &QPushButton::clicked, this, ui::guard([this] { BOkClick(); }));
    connect(BCancel, &QPushButton::clicked, this, ui::guard([this] { BCancelClick(); }));
    connect(Timer1, &QTimer::timeout, this, ui::guard([this] { Timer1Timer(); }));

    move(50, 100);
}

void TFrShowError::FormShow() {
    move(50, 100);
    ErrorBox->setPlainText(ErrorText);
    BCancel->setFocus();
    SendingError = false;
    CloseCountdown = 10;
    TimeCount->clear();
}

void TFrShowError::Timer1Timer() {
    if (SendingError) {
        return;
    }
    --CloseCountdown;
    if (CloseCountdown == 1) {
        BCancelClick();
    }
}

void TFrShowError::BOkClick() {
    SendingError = true;
    accept();
}

void TFrShowError::BCancelClick() {
    reject();
}

void TFrShowError::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
        Timer1->start();
    }
}

void TFrShowError::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        Timer1->stop();
    }
    QDialog::hideEvent(event);
}
