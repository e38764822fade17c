#include "forms/F_SearchProductUnitsTivasMaster.h"

#include "data/Dm_Config.h"
#include "forms/Fr_Search.h"
#include "platform/ui/DbGrid.h"
#include "platform/ui/Edits.h"
#include "platform/ui/Focus.h"
#include "platform/ui/Guard.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

bool isEnter(const QKeyEvent& key) {
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

} // namespace

TF_SearchProductUnitsTivasMaster::TF_SearchProductUnitsTivasMaster(QWidget* parent)
    : QDialog(parent) {
    // A fixed single border with system menu and minimise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("ค้นหาชื่อสินค้า"));
    setFont(lookup::formFont());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* top = new QWidget(this);
    auto* grid = new QGridLayout(top);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setHorizontalSpacing(6);

    Label1 = new QLabel(QStringLiteral("ชื่อสินค้า"), top);
    Label1->setObjectName(QStringLiteral("Label1"));
    InputName = new QLineEdit(top);
    InputName->setObjectName(QStringLiteral("InputName"));
    InputName->setMaxLength(60);
    InputName->setFixedWidth(286);
    BSearch = lookup::button(top, QStringLiteral("BSearch"), QStringLiteral("ค้นหา"),
                             lookup::searchImage());
    BSearch->setFocusPolicy(Qt::NoFocus); // not a tab stop; a click leaves the focus in place
    Bok = lookup::button(top, QStringLiteral("Bok"), QStringLiteral("เลือก"), lookup::chooseImage());
    BCancel = lookup::button(top, QStringLiteral("BCancel"), QStringLiteral("ไม่เลือก"),
                             lookup::cancelImage());
    FullWord = new QCheckBox(QStringLiteral("หาเต็มคำ"), top);
    FullWord->setObjectName(QStringLiteral("FullWord"));
    LbBarcode = new QLabel(QStringLiteral("Barcode"), top);
    LbBarcode->setObjectName(QStringLiteral("LbBarcode"));
    EdBarcode = new QLineEdit(top);
    EdBarcode->setObjectName(QStringLiteral("EdBarcode"));
    ui::setUpperCase(EdBarcode);
    EdBarcode->setMaxLength(60);
    EdBarcode->setFixedWidth(167);

    grid->addWidget(Label1, 0, 0, Qt::AlignRight);
    grid->addWidget(InputName, 0, 1);
    grid->addWidget(BSearch, 0, 2);
    grid->addWidget(Bok, 0, 3);
    grid->addWidget(BCancel, 0, 4);
    grid->addWidget(FullWord, 0, 5);
    grid->addWidget(LbBarcode, 1, 0, Qt::AlignRight);
    grid->addWidget(EdBarcode, 1, 1, Qt::AlignLeft);
    grid->setColumnStretch(6, 1);
    layout->addWidget(top, 1);

    Query1.setObjectName(QStringLiteral("Query1"));
    Query1.setConnectionName(QStringLiteral("DMDATA"));
    Query1.setFetchOnDemand(true); // the grid shows the first rows while the rest come in
    SearchGrid = new ui::DbGrid(this);
    SearchGrid->setObjectName(QStringLiteral("SearchGrid"));
    SearchGrid->setDataset(&Query1);
    SearchGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SearchGrid->setTitlesClickable(false);
    const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignVCenter;
    SearchGrid->setColumns(
        {{QStringLiteral("ProdCode"), QStringLiteral("รหัสสินค้า"), 142},
         {QStringLiteral("barcode"), QStringLiteral("รหัสบาร์โค้ด"), 130, centred},
         {QStringLiteral("BuyingDecisionCode"), QStringLiteral("Buying Decision Code"), 147},
         {QStringLiteral("unitname"), QStringLiteral("หน่วย"), 86, centred},
         {QStringLiteral("thainame"), QStringLiteral("ชื่อสินค้า/บริการ"), 220},
         {QStringLiteral("price"), QStringLiteral("ราคาขาย/หน่วย"), 81, centred}});
    SearchGrid->setFixedHeight(329);
    layout->addWidget(SearchGrid);

    setTabOrder(InputName, Bok);
    setTabOrder(Bok, BCancel);
    setTabOrder(BCancel, FullWord);
    setTabOrder(FullWord, EdBarcode);
    setTabOrder(EdBarcode, SearchGrid);
    setFixedSize(846, 419);

    ui::on(BSearch, &QPushButton::clicked, this, &TF_SearchProductUnitsTivasMaster::BSearchClick);
    ui::on(Bok, &QPushButton::clicked, this, &TF_SearchProductUnitsTivasMaster::BokClick);
    ui::on(BCancel, &QPushButton::clicked, this, &TF_SearchProductUnitsTivasMaster::BCancelClick);
    ui::on(SearchGrid, &ui::DbGrid::rowDoubleClicked, this,
           &TF_SearchProductUnitsTivasMaster::SearchGridDblClick);
    for (QLineEdit* edit : {InputName, EdBarcode}) {
        ui::onKeyDown(edit, [this](QKeyEvent& key) { return InputNameKeyDown(key); });
    }
    ui::onKeyDown(SearchGrid, [this](QKeyEvent& key) { return SearchGridKeyDown(key); });

    // Key preview: the window sees the keys of its controls before they do.
    qApp->installEventFilter(this);
}

TF_SearchProductUnitsTivasMaster::~TF_SearchProductUnitsTivasMaster() = default;

void TF_SearchProductUnitsTivasMaster::FormShow() {
    SelectedBarcode.clear();
    FullWord->setChecked(false);
    InputName->clear();
    Query1.close();
    InputName->setFocus(Qt::OtherFocusReason);
}

void TF_SearchProductUnitsTivasMaster::BSearchClick() {
    Query1.close();
    Query1.clearSql();
    Query1.addSqlLine(QStringLiteral("select u.id,u.barcode,u.unitname,p.thainame,x.price, "
                                     "P.Code ProdCode, P.BuyingCode BuyingDecisionCode"));
    Query1.addSqlLine(QStringLiteral("from Nvk.dbo.productunits u"));
    Query1.addSqlLine(QStringLiteral("inner join Nvk.dbo.product p on p.id=u.product"));
    Query1.addSqlLine(QStringLiteral(
        "inner join Nvk.dbo.productprice x on x.product=u.product and x.productunits=u.id"));
    const QString name = InputName->text().trimmed();
    if (!name.isEmpty()) {
        Query1.addSqlLine(FullWord->isChecked()
                              ? QStringLiteral("where p.thainame = :Name")
                              : QStringLiteral("where p.thainame like :NamePattern"));
        Query1.addSqlLine(QStringLiteral(" and (x.price > 0) and x.pricetype=:PriceType"));
    } else {
        Query1.addSqlLine(QStringLiteral("where x.price > 0 and x.pricetype=:PriceType"));
    }
    if (SmallUnitOnly == QLatin1String("Y")) {
        Query1.addSqlLine(QStringLiteral(" And SmallUnitFlag = 'Y' "));
    }
    const QString barcode = EdBarcode->text().trimmed();
    if (!barcode.isEmpty()) {
        Query1.addSqlLine(QStringLiteral(" And (U.Barcode Like :BarcodePattern)"));
    }
    Query1.addSqlLine(QStringLiteral("Order By BarCode"));

    db::Params& params = Query1.params();
    if (!name.isEmpty()) {
        if (FullWord->isChecked()) {
            params.set(QStringLiteral("Name"), name);
        } else {
            params.set(QStringLiteral("NamePattern"), QLatin1Char('%') + name + QLatin1Char('%'));
        }
    }
    params.set(QStringLiteral("PriceType"), DmConfig != nullptr ? DmConfig->PosPriceType : 0);
    if (!barcode.isEmpty()) {
        params.set(QStringLiteral("BarcodePattern"), QLatin1Char('%') + barcode + QLatin1Char('%'));
    }
    Query1.open();
    if (!Query1.isEmpty()) {
        SearchGrid->setFocus(Qt::OtherFocusReason);
        Query1.first();
    }
}

void TF_SearchProductUnitsTivasMaster::BokClick() {
    if (!Query1.isActive() || Query1.isEmpty()) {
        return;
    }
    SelectedBarcode = Query1.fieldByName(QStringLiteral("BarCode")).asString();
    done(QDialog::Accepted);
}

void TF_SearchProductUnitsTivasMaster::BCancelClick() {
    done(QDialog::Rejected);
}

void TF_SearchProductUnitsTivasMaster::SearchGridDblClick() {
    BokClick();
}

bool TF_SearchProductUnitsTivasMaster::InputNameKeyDown(QKeyEvent& key) {
    if (isEnter(key)) {
        BSearchClick();
        return true;
    }
    return false;
}

bool TF_SearchProductUnitsTivasMaster::SearchGridKeyDown(QKeyEvent& key) {
    if (isEnter(key)) {
        BokClick();
        return true;
    }
    return false;
}

bool TF_SearchProductUnitsTivasMaster::FormKeyDown(QWidget* control, QKeyEvent& key) {
    if (key.key() == Qt::Key_Escape) {
        BCancelClick();
        return true;
    }
    if (isEnter(key)) {
        if (auto* button = qobject_cast<QAbstractButton*>(control);
            button != nullptr && qobject_cast<QCheckBox*>(button) == nullptr) {
            button->click(); // Enter on a focused button presses it
            return true;
        }
        // The edits and the grid act on Enter through their own key handlers; the key
        // never reaches a control itself.
        ui::runKeyHandlers(control, key);
        return true;
    }
    return false;
}

void TF_SearchProductUnitsTivasMaster::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        ui::guard([this] { FormShow(); })();
    }
}

bool TF_SearchProductUnitsTivasMaster::eventFilter(QObject* watched, QEvent* event) {
    if (ui::previewWindowKey(this, watched, event, [this](QWidget* control, QKeyEvent& key) {
            return FormKeyDown(control, key);
        })) {
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
