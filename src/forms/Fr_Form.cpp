#include "forms/Fr_Form.h"

#include "data/Dm_Config.h"
#include "platform/ui/Edits.h"
#include "platform/ui/Focus.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Modal.h"
#include "platform/ui/Prompts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {

const int ToolButtonHeight = 36;
const int ImageSize = 16;

QFont msSansSerif(int pixelSize) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(pixelSize);
    return font;
}

QPixmap blankImage() {
    QPixmap pixmap(ImageSize, ImageSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void drawPage(QPainter& p, const QRectF& r) {
    QPainterPath page;
    page.moveTo(r.left(), r.top());
    page.lineTo(r.right() - 4, r.top());
    page.lineTo(r.right(), r.top() + 4);
    page.lineTo(r.right(), r.bottom());
    page.lineTo(r.left(), r.bottom());
    page.closeSubpath();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawLine(QPointF(r.right() - 4, r.top()), QPointF(r.right() - 4, r.top() + 4));
    p.drawLine(QPointF(r.right() - 4, r.top() + 4), QPointF(r.right(), r.top() + 4));
}

// The tool bar images, drawn here: 0 new, 1 delete, 2 save, 3 exit, 4 history, 5 copy,
// 6 print, 7 change code / approve.
QIcon toolImage(int index) {
    QPixmap pixmap = blankImage();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 0:
        drawPage(p, QRectF(3.5, 1.5, 9, 13));
        break;
    case 1:
        p.setPen(QPen(QColor(200, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3, 3), QPointF(13, 13));
        p.drawLine(QPointF(13, 3), QPointF(3, 13));
        break;
    case 2:
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(40, 80, 170));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(3.5, 9.5, 9, 5));
        break;
    case 3:
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(150, 90, 40));
        p.drawRect(QRectF(2.5, 1.5, 7, 13));
        p.setPen(QPen(QColor(0, 140, 0), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 8), QPointF(15, 8));
        p.drawLine(QPointF(12, 5), QPointF(15, 8));
        p.drawLine(QPointF(12, 11), QPointF(15, 8));
        break;
    case 4:
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(255, 250, 210));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 8), QPointF(8, 4));
        p.drawLine(QPointF(8, 8), QPointF(11, 10));
        break;
    case 5:
        drawPage(p, QRectF(1.5, 1.5, 8, 10));
        drawPage(p, QRectF(6.5, 4.5, 8, 10));
        break;
    case 6:
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(160, 160, 160));
        p.drawRect(QRectF(1.5, 6.5, 13, 6));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
        break;
    default:
        p.setPen(QPen(QColor(0, 150, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(2.5, 8.5), QPointF(6.5, 12.5), QPointF(13.5, 3.5)}));
        break;
    }
    p.end();
    return QIcon(pixmap);
}

} // namespace

TFrForm::TFrForm(QWidget* parent) : QMainWindow(parent) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(msSansSerif(13));

    for (int i = 0; i < 8; ++i) {
        ImageList1 << toolImage(i);
    }

    AcNew = newAction(QStringLiteral("New"), QStringLiteral("New Record"), 0, Qt::Key_F3);
    AcDel = newAction(QStringLiteral("Delete"), QStringLiteral("Delete Record"), 1, Qt::Key_F8);
    AcSave = newAction(QStringLiteral("Save"), QStringLiteral("Save Record"), 2, Qt::Key_F10);
    AcHist = newAction(QStringLiteral("Hist."), QStringLiteral("Show History"), 4,
                       QKeySequence(Qt::CTRL | Qt::Key_H));
    AcCopy = newAction(QStringLiteral("Copy"), QStringLiteral("Copy Record"), 5, Qt::Key_F6);
    AcPrint = newAction(QStringLiteral("Print"), QStringLiteral("Print Record"), 6,
                        QKeySequence(Qt::CTRL | Qt::Key_P));
    AcExit = newAction(QStringLiteral("Exit"), QStringLiteral("Exit Program"), 3,
                       QKeySequence(Qt::CTRL | Qt::Key_X));
    AcChgCode = newAction(QStringLiteral("Chg Code"), QString(), 7, Qt::Key_F12);
    AcApporved = newAction(QStringLiteral("Apporved"), QString(), 7, QKeySequence());
    connect(AcNew, &QAction::triggered, this, ui::guard([this] { AcNewExecute(); }));
    connect(AcExit, &QAction::triggered, this, ui::guard([this] { AcExitExecute(); }));

    auto* central = new QWidget(this);
    auto* centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->setSpacing(0);
    setCentralWidget(central);

    Panel2 = new QFrame(central);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameShape(QFrame::Panel);
    Panel2->setFrameShadow(QFrame::Sunken);
    Panel2->setFixedHeight(42);
    auto* panelLayout = new QHBoxLayout(Panel2);
    panelLayout->setContentsMargins(2, 2, 2, 2);
    panelLayout->setSpacing(0);
    centralLayout->addWidget(Panel2);

    ToolBar1 = new QWidget(Panel2);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFont(msSansSerif(11));
    toolLayout_ = new QHBoxLayout(ToolBar1);
    toolLayout_->setContentsMargins(0, 0, 0, 0);
    toolLayout_->setSpacing(0);
    toolLayout_->addStretch(1);
    panelLayout->addWidget(ToolBar1, 1);

    BNew = addToolButton(AcNew);
    BDel = addToolButton(AcDel);
    BSave = addToolButton(AcSave);
    BChgCode = addToolButton(AcChgCode);
    BHist = addToolButton(AcHist);
    BCopy = addToolButton(AcCopy);
    BPrint = addToolButton(AcPrint);
    BApporved = addToolButton(QStringLiteral("Apporved"), 7);
    BExit = addToolButton(AcExit);

    ChgCode = new QLineEdit(Panel2);
    ChgCode->setObjectName(QStringLiteral("ChgCode"));
    ui::setUpperCase(ChgCode);
    ChgCode->setText(QStringLiteral("CHGCODE"));
    ChgCode->setFixedWidth(80);
    panelLayout->addWidget(ChgCode, 0, Qt::AlignVCenter);

    Client = new QWidget(central);
    Client->setObjectName(QStringLiteral("Client"));
    ClientLayout = new QVBoxLayout(Client);
    ClientLayout->setContentsMargins(0, 0, 0, 0);
    ClientLayout->setSpacing(0);
    centralLayout->addWidget(Client, 1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    const int panelWidths[] = {200, 50};
    for (std::size_t i = 0; i < StatusPanels.size(); ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setFixedWidth(panelWidths[i]);
        StatusBar1->addWidget(panel);
        StatusPanels[i] = panel;
    }
    setStatusBar(StatusBar1);

    setClientSize(757, 421);

    // Key preview: the form sees the keys of its controls before they do.
    qApp->installEventFilter(this);
}

TFrForm::~TFrForm() = default;

QAction* TFrForm::newAction(const QString& caption, const QString& hint, int image,
                            const QKeySequence& shortcut) {
    auto* action = new QAction(ImageList1.value(image), caption, this);
    action->setToolTip(hint);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    QWidget::addAction(action);
    ActionList1 << action;
    return action;
}

QToolButton* TFrForm::newToolButton() {
    auto* button = new QToolButton(ToolBar1);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setIconSize(QSize(ImageSize, ImageSize));
    button->setFixedSize(toolButtonWidth_, ToolButtonHeight);
    toolLayout_->insertWidget(toolLayout_->count() - 1, button); // before the stretch
    toolButtons_ << button;
    return button;
}

QToolButton* TFrForm::addToolButton(QAction* action) {
    QToolButton* button = newToolButton();
    button->setDefaultAction(action);
    return button;
}

QToolButton* TFrForm::addToolButton(const QString& caption, int imageIndex) {
    QToolButton* button = newToolButton();
    button->setText(caption);
    button->setIcon(ImageList1.value(imageIndex));
    return button;
}

void TFrForm::setToolButtonWidth(int width) {
    toolButtonWidth_ = width;
    for (QToolButton* button : toolButtons_) {
        button->setFixedSize(width, ToolButtonHeight);
    }
}

void TFrForm::setClientSize(int width, int height) {
    setFixedSize(width, height);
}

void TFrForm::FormShow() {
    ui::setApplicationTitle(windowTitle());
    for (QToolButton* button : {BHist, BCopy, BPrint, BChgCode, BApporved}) {
        button->hide();
    }
    TFrForm::AcNewExecute();
}

void TFrForm::AcNewExecute() {
    ChgCode->hide();
    AcSave->setEnabled(false);
    AcDel->setEnabled(false);
    AcChgCode->setEnabled(false);
    setKeyPreview(true);
}

void TFrForm::AcExitExecute() {
    close();
}

QString TFrForm::exitQuestion() {
    if (DmConfig != nullptr && DmConfig->ThaiLanguage) {
        return QStringLiteral("ออกจากโปรแกรม ?");
    }
    return QStringLiteral("Exit Program ?");
}

bool TFrForm::FormClose() {
    return ui::Prompts::current().confirm(
        {exitQuestion(), ui::MessageKind::Confirmation, {0, 128, 0}, {255, 255, 255}});
}

void TFrForm::centreOnScreen() {
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void TFrForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (event->spontaneous()) {
        return; // restored by the window system, not shown by the program
    }
    if (!centred_) {
        centred_ = true;
        centreOnScreen();
    }
    ui::guard([this] { FormShow(); })();
}

void TFrForm::closeEvent(QCloseEvent* event) {
    bool yes = false;
    ui::guard([&] { yes = FormClose(); })();
    if (yes) {
        event->accept();
    } else {
        event->ignore();
    }
}

bool TFrForm::actionTakesKey(const QKeyEvent& key) const {
    const QKeySequence pressed(key.keyCombination());
    const QList<QAction*> all = actions();
    return std::any_of(all.begin(), all.end(), [&](const QAction* action) {
        return action->isEnabled() && !action->shortcut().isEmpty() &&
               action->shortcut() == pressed;
    });
}

void TFrForm::leaveEnterTo(QWidget* control) {
    enterOwners_ << control;
}

bool TFrForm::previewKey(QWidget* control, QKeyEvent& key) {
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        for (const QPointer<QWidget>& owner : std::as_const(enterOwners_)) {
            if (owner && (owner == control || owner->isAncestorOf(control))) {
                return false;
            }
        }
        if (control->isEnabled() && control->focusPolicy() != Qt::NoFocus) {
            ui::focusNextTabStop(this);
        }
        // The control's own key handlers still see Enter; the control itself never gets it,
        // so no line break is inserted and no default button fires.
        ui::runKeyHandlers(control, key);
        return true;
    case Qt::Key_Escape:
        ui::guard([this] { AcExitExecute(); })();
        return true;
    default:
        return false;
    }
}

bool TFrForm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::ShortcutOverride) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        auto& key = *static_cast<QKeyEvent*>(event);
        if (type == QEvent::ShortcutOverride) {
            // An enabled action's short cut wins over the control (Ctrl+X is Exit, not Cut):
            // the control does not get to claim the key.
            return actionTakesKey(key);
        }
        if (keyPreview_ && previewKey(static_cast<QWidget*>(watched), key)) {
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
