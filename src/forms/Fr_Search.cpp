#include "forms/Fr_Search.h"

#include "data/Dm_Config.h"
#include "platform/db/Dataset.h"
#include "platform/ui/DbGrid.h"
#include "platform/ui/Edits.h"
#include "platform/ui/Focus.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompts.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace lookup {

namespace {

constexpr int ImageSize = 16;

QPixmap blankImage() {
    QPixmap pixmap(ImageSize, ImageSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QFont formFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(13);
    return font;
}

QIcon searchImage() {
    QPixmap pixmap = blankImage();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(QColor(210, 235, 255));
    p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
    p.setPen(QPen(QColor(120, 70, 20), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14, 14));
    p.end();
    return QIcon(pixmap);
}

QIcon chooseImage() {
    QPixmap pixmap = blankImage();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 150, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(2.5, 8.5), QPointF(6.5, 12.5), QPointF(13.5, 3.5)}));
    p.end();
    return QIcon(pixmap);
}

QIcon cancelImage() {
    QPixmap pixmap = blankImage();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3, 3), QPointF(13, 13));
    p.drawLine(QPointF(13, 3), QPointF(3, 13));
    p.end();
    return QIcon(pixmap);
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption,
                    const QIcon& image) {
    auto* button = new QPushButton(image, caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setFixedHeight(25);
    return button;
}

} // namespace lookup

namespace {

bool thaiLanguage() {
    return DmConfig != nullptr && DmConfig->ThaiLanguage;
}

bool isEnter(const QKeyEvent& key) {
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

bool isWithin(const QWidget* control, const QWidget* container) {
    return control != nullptr && (control == container || container->isAncestorOf(control));
}

// Paints a cell's own background even on the highlighted row (the styles paint the
// highlight over it), so a cancelled document stays red while it is selected.
class CellBackgroundDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QVariant background = index.data(Qt::BackgroundRole);
        if (!(option.state & QStyle::State_Selected) || !background.canConvert<QBrush>()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        opt.state &= ~QStyle::State_Selected;
        opt.backgroundBrush = qvariant_cast<QBrush>(background);
        opt.palette.setColor(QPalette::Text, option.palette.color(QPalette::HighlightedText));
        const QWidget* widget = option.widget;
        QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    }
};

} // namespace

TFrSearch::TFrSearch(QWidget* parent) : QDialog(parent) {
    // A dialog border without border icons: no close box, no system menu.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("ค้นหา"));
    setFont(lookup::formFont());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    PanelHeader = new QFrame(this);
    PanelHeader->setObjectName(QStringLiteral("PanelHeader"));
    PanelHeader->setFrameShape(QFrame::Panel);
    PanelHeader->setFrameShadow(QFrame::Sunken);
    PanelHeader->setFixedHeight(32);
    headerLayout_ = new QHBoxLayout(PanelHeader);
    headerLayout_->setContentsMargins(4, 2, 4, 2);
    headerLayout_->setSpacing(4);
    layout->addWidget(PanelHeader);

    Label3 = new QLabel(QStringLiteral("รหัส"), PanelHeader);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    headerLayout_->addWidget(Label3);

    Code = new QLineEdit(PanelHeader);
    Code->setObjectName(QStringLiteral("Code"));
    ui::setUpperCase(Code);
    Code->setFixedWidth(120);
    headerLayout_->addWidget(Code);
    headerInsertAt_ = headerLayout_->count();

    BtSearch = lookup::button(PanelHeader, QStringLiteral("BtSearch"), QStringLiteral("ค้นหา"),
                              lookup::searchImage());
    BtSearch->setFocusPolicy(Qt::NoFocus); // not a tab stop; a click leaves the focus in place
    BtOk = lookup::button(PanelHeader, QStringLiteral("BtOk"), QStringLiteral("เลือก"),
                          lookup::chooseImage());
    BtCancel = lookup::button(PanelHeader, QStringLiteral("BtCancel"), QStringLiteral("ไม่เลือก"),
                              lookup::cancelImage());
    for (QPushButton* button : {BtSearch, BtOk, BtCancel}) {
        headerLayout_->addWidget(button);
    }
    headerLayout_->addStretch(1);
    ui::on(BtSearch, &QPushButton::clicked, this, &TFrSearch::BtSearchClick);
    ui::on(BtOk, &QPushButton::clicked, this, &TFrSearch::accept);
    ui::on(BtCancel, &QPushButton::clicked, this, &TFrSearch::reject);

    QSearch.setObjectName(QStringLiteral("QSearch"));
    QSearch.setFetchOnDemand(true); // the grid shows the first rows while the rest come in
    DgSearch = new ui::DbGrid(this);
    DgSearch->setObjectName(QStringLiteral("DgSearch"));
    DgSearch->setDataset(&QSearch);
    DgSearch->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DgSearch->setTitlesClickable(true);
    DgSearch->setItemDelegate(new CellBackgroundDelegate(DgSearch));
    DgSearch->setCellColors([this](int row, const db::Field& field, bool selected) {
        return DgSearchGetCellParams(row, field, selected);
    });
    DgSearch->setToolTip(QStringLiteral("สีแดง : เอกสารยกเลิก\nสีน้ำเงิน : เอกสารรับ/จ่ายแล้ว"));
    layout->addWidget(DgSearch, 1);
    ui::on(DgSearch, &ui::DbGrid::rowDoubleClicked, this, &TFrSearch::DgSearchDblClick);
    ui::on(DgSearch, &ui::DbGrid::titleClicked, this, &TFrSearch::DgSearchTitleBtnClick);

    setTabOrder(Code, BtOk);
    setTabOrder(BtOk, BtCancel);
    setTabOrder(BtCancel, DgSearch);
    setClientSize(528, 279);

    // Key preview: the window sees the keys of its controls before they do.
    qApp->installEventFilter(this);
}

TFrSearch::~TFrSearch() = default;

void TFrSearch::addHeaderWidget(QWidget* widget) {
    headerLayout_->insertWidget(headerInsertAt_++, widget);
}

void TFrSearch::setClientSize(int width, int height) {
    setFixedSize(width, height);
}

void TFrSearch::FormShow() {
    if (!thaiLanguage()) {
        const struct {
            QPushButton* button;
            const char* caption;
        } english[] = {{BtSearch, "Search"}, {BtOk, "Choose"}, {BtCancel, "Cancel"}};
        for (const auto& e : english) {
            QFont font = e.button->font();
            font.setPointSize(8);
            e.button->setFont(font);
            e.button->setText(QString::fromLatin1(e.caption));
        }
        DgSearch->setToolTip(QString());
    }
    QSearch.close();
    Code->clear();
    Code->setFocus(Qt::OtherFocusReason);
}

void TFrSearch::BtSearchClick() {
    QSearch.close();
    QSearch.open();
    if (!QSearch.isEmpty()) {
        DgSearch->setFocus(Qt::OtherFocusReason);
        QSearch.first();
    }
}

bool TFrSearch::FormKeyDown(QWidget* control, QKeyEvent& key) {
    if (isEnter(key)) {
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            button->click(); // Enter on a focused button presses it
        } else if (isWithin(control, DgSearch)) {
            accept();
        } else {
            BtSearch->click(); // the derived lookup's search step
        }
        return true; // no edit ever receives the Enter character
    }
    if (key.key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    if (key.key() == Qt::Key_Down && control == Code) {
        DgSearch->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return false;
}

void TFrSearch::DgSearchDblClick() {
    accept();
}

void TFrSearch::DgSearchTitleBtnClick(db::Field* field) {
    if (field == nullptr) {
        return;
    }
    // The database layer knows no large-object type: only the names rule out a column.
    const QString name = field->name().toUpper();
    if (name == QLatin1String("REMARK") || name == QLatin1String("MEMO")) {
        return;
    }
    const int ordinal = field->index() + 1; // position in the select list, not in the grid
    static const QLatin1String orderBy("ORDER BY ");
    QStringList lines = QSearch.sqlLines();
    bool changed = false;
    for (QString& line : lines) {
        const qsizetype at = line.toUpper().indexOf(orderBy);
        if (at < 0) {
            continue;
        }
        line = line.left(at) + QStringLiteral("Order By ") + QString::number(ordinal);
        if (name != SortFieldName) {
            SortDescNext = true;
        } else {
            if (SortDescNext) {
                line += QStringLiteral(" Desc");
            }
            SortDescNext = !SortDescNext;
        }
        SortFieldName = name;
        changed = true;
    }
    if (changed) {
        QSearch.setSqlLines(lines); // keeps the parameter values of the last search
    }
    TFrSearch::BtSearchClick();
}

ui::CellColors TFrSearch::DgSearchGetCellParams(int row, const db::Field& /*field*/,
                                                bool selected) const {
    struct Rule {
        const char* column;
        const char* value;
        QColor colour;
    };
    static const Rule rules[] = {{"DelFlag", "Y", QColor(255, 0, 0)},
                                 {"Clear", "Y", QColor(0, 0, 255)},
                                 {"Active", "N", QColor(255, 0, 0)}};
    ui::CellColors colors;
    for (const Rule& rule : rules) {
        const db::Field* f = QSearch.findField(QString::fromLatin1(rule.column));
        if (f == nullptr) {
            continue;
        }
        if (db::variantToText(QSearch.valueAt(row, f->index())) == QLatin1String(rule.value)) {
            colors.background = rule.colour;
        } else {
            // The system's window-text colour on the highlighted row, its window colour
            // elsewhere (Text and Base in Qt's palette).
            const QPalette& palette = DgSearch->palette();
            colors.background = palette.color(selected ? QPalette::Text : QPalette::Base);
        }
        return colors;
    }
    return colors; // none of the three columns: the grid's own colours
}

void TFrSearch::done(int result) {
    if (result != QDialog::Accepted || !QSearch.isActive() || QSearch.isEmpty()) {
        SelectedCode.clear();
        QDialog::done(QDialog::Rejected);
        return;
    }
    SelectedCode = QSearch.fieldByName(KeyFieldName).asString();
    const db::Field* delFlag = QSearch.findField(QStringLiteral("DelFlag"));
    if (delFlag != nullptr && delFlag->asString() == QLatin1String("Y")) {
        ui::Prompts& prompts = ui::Prompts::current();
        prompts.message({thaiLanguage() ? QStringLiteral("เอกสารถูกยกเลิกแล้ว")
                                        : QStringLiteral("Document Was Deleted"),
                         ui::MessageKind::Information});
        if (const db::Field* remark = QSearch.findField(QStringLiteral("DelRemark"))) {
            prompts.message({QStringLiteral("สาเหตุยกเลิก : ") + remark->asString(),
                             ui::MessageKind::Information});
        }
        SelectedCode.clear();
        return; // the close is refused: the lookup stays open for another choice
    }
    QDialog::done(QDialog::Accepted);
}

void TFrSearch::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return; // restored by the window system, not shown by the program
    }
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    ui::guard([this] { FormShow(); })();
}

bool TFrSearch::eventFilter(QObject* watched, QEvent* event) {
    if (ui::previewWindowKey(this, watched, event, [this](QWidget* control, QKeyEvent& key) {
            return FormKeyDown(control, key);
        })) {
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
