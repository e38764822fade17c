// The modal lookups on a fresh demo server, headless: the base rules (keys, closing, row
// colours, title-click sorting), the branch lookup, the two order number lookups and the
// product unit lookup, driven by keys and through the modal-window seam.
#include "data/Dm_Config.h"
#include "data/U_DM.h"
#include "forms/F_SearchProductUnitsTivasMaster.h"
#include "forms/Fr_Search.h"
#include "forms/Fr_SearchBranch.h"
#include "forms/Fr_SearchOrderShereNo.h"
#include "forms/Fr_SearchOrderSpecialNo.h"
#include "platform/db/Query.h"
#include "platform/ui/DbGrid.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Modal.h"
#include "support/DemoServer.h"
#include "support/GuiApp.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kThaiTip = QStringLiteral("สีแดง : เอกสารยกเลิก\nสีน้ำเงิน : เอกสารรับ/จ่ายแล้ว");

class Lookups : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::guiApp();
        previousDir_ = QDir::currentPath();
        QDir::setCurrent(work_.path());
        folder_ = testing_support::freshDemoServer();
        QFile dat(QStringLiteral("Server.Dat"));
        ASSERT_TRUE(dat.open(QIODevice::WriteOnly));
        dat.write(testing_support::serverName(folder_).toLocal8Bit() + "\n");
        dat.close();

        previousDm_ = DM;
        previousConfig_ = DmConfig;
        dm_ = std::make_unique<TDM>();
        config_ = std::make_unique<TDMConfig>();
        DM = dm_.get();
        DmConfig = config_.get();
        dm_->CommandLine = {QStringLiteral("ordertool"),
                            QStringLiteral("101"),
                            QStringLiteral("1"),
                            QStringLiteral("NVKDC"),
                            QString(),
                            QStringLiteral("4")};
        config_->ThaiLanguage = true;
        config_->PosPriceType = 1;
        TFrSearch::SortFieldName.clear();
        TFrSearch::SortDescNext = false;
        previousSink_ = ui::setExceptionSink([this](std::exception_ptr e) {
            try {
                std::rethrow_exception(e);
            } catch (const std::exception& x) {
                errors_ << QString::fromUtf8(x.what());
            }
        });
    }
    void TearDown() override {
        EXPECT_EQ(errors_, QStringList()) << "errors that reached the error handler";
        ui::setExceptionSink(previousSink_);
        config_.reset();
        dm_.reset();
        DM = previousDm_;
        DmConfig = previousConfig_;
        QDir::setCurrent(previousDir_);
    }

    // Runs a statement on the business connection, binding the values to :P1, :P2, ...
    static void exec(const QString& sql, const QVariantList& values = {}) {
        db::Query q(QStringLiteral("DMDATA"), db::SqlSource(sql));
        for (int i = 0; i < values.size(); ++i) {
            q.params().set(QStringLiteral("P%1").arg(i + 1), values[i]);
        }
        q.execSQL();
    }
    static QStringList column(const QString& connection, const QString& sql) {
        db::Query q(connection, db::SqlSource(sql));
        q.open();
        QStringList out;
        for (q.first(); !q.eof(); q.next()) {
            out << q.fields()[0]->asString();
        }
        return out;
    }

    // Lets pending events run until the grid has read every row: it reads them in slices
    // between events.
    static void readAll(const ui::DbGrid* grid) {
        while (grid->datasetModel()->canFetchMore({})) {
            QApplication::processEvents();
        }
    }
    // The texts of one grid column, top to bottom, once the grid has read every row.
    static QStringList shown(const ui::DbGrid* grid, const QString& field) {
        readAll(grid);
        const ui::DatasetModel* model = grid->datasetModel();
        const int c = model->columnOf(field);
        QStringList out;
        for (int r = 0; c >= 0 && r < model->rowCount(); ++r) {
            out << model->index(r, c).data().toString();
        }
        return out;
    }
    // The key goes to the control that has the focus in the lookup's window.
    static void key(QDialog& lookup, Qt::Key k) {
        QWidget* target = lookup.focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, k);
    }
    static void type(QDialog& lookup, QLineEdit* edit, const QString& text) {
        edit->setFocus(Qt::OtherFocusReason);
        edit->setText(text);
        ASSERT_EQ(lookup.focusWidget(), edit);
    }
    static void clickTitle(ui::DbGrid* grid, const QString& field) {
        QHeaderView* header = grid->horizontalHeader();
        const int c = grid->datasetModel()->columnOf(field);
        ASSERT_GE(c, 0) << field.toStdString();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(header->sectionViewportPosition(c) + header->sectionSize(c) / 2,
                                 header->height() / 2));
    }
    static QString orderByLine(const db::Query& q) {
        for (const QString& line : q.sqlLines()) {
            if (line.contains(QLatin1String("Order By"), Qt::CaseInsensitive)) {
                return line;
            }
        }
        return {};
    }

    QTemporaryDir work_;
    QString previousDir_;
    QString folder_;
    TDM* previousDm_ = nullptr;
    TDMConfig* previousConfig_ = nullptr;
    std::unique_ptr<TDM> dm_;
    std::unique_ptr<TDMConfig> config_;
    ui::ExceptionSink previousSink_;
    QStringList errors_;
    ui::ScriptedModalPrompts prompts_;
    ui::ScopedPrompts scope_{prompts_};
};

// A base lookup over a fixed statement on the business connection.
std::unique_ptr<TFrSearch> baseLookup(const QStringList& lines, const QString& keyField) {
    auto lookup = std::make_unique<TFrSearch>();
    lookup->QSearch.setConnectionName(QStringLiteral("DMDATA"));
    lookup->QSearch.setSqlLines(lines);
    lookup->KeyFieldName = keyField;
    return lookup;
}

// ---- Windows --------------------------------------------------------------------------

TEST_F(Lookups, WindowsCarryTheirCaptionsSizesLabelsAndColumns) {
    struct Column {
        const char* field;
        QString title;
        int width;
    };
    struct Case {
        std::function<std::unique_ptr<TFrSearch>()> make;
        QString caption;
        QSize size;
        QString label;
        std::vector<Column> columns;
    };
    const Case cases[] = {
        {[] { return std::make_unique<TFrSearch>(); },
         QStringLiteral("ค้นหา"),
         QSize(528, 279),
         QStringLiteral("รหัส"),
         {}},
        {[] { return std::make_unique<TFrSearchBranch>(); },
         QStringLiteral("ค้นหาข้อมูลสาขา"),
         QSize(553, 279),
         QStringLiteral("รายชื่อสาขา"),
         {{"BranchCode", QStringLiteral("รหัสสาขา"), 120},
          {"BranchName", QStringLiteral("รายชื่อสาขา"), 250}}},
        {[] { return std::make_unique<TFrSearchOrderShereNo>(); },
         QStringLiteral("ค้นหาเลขที่ใบแบ่ง"),
         QSize(762, 392),
         QStringLiteral("เลขที่"),
         {{"OrderNO", QStringLiteral("เลขที่ใบแบ่ง"), 125},
          {"OrderDate", QStringLiteral("วันที่"), 107},
          {"BarCode", QStringLiteral("BarCode"), 105},
          {"ProdName", QStringLiteral("ชื่อสินค้า"), 164},
          {"UnitName", QStringLiteral("หน่วยนับ"), 101},
          {"ProdCode", QStringLiteral("รหัสสินค้า"), 83},
          {"Approved", QStringLiteral("Approved"), 0}}},
        {[] { return std::make_unique<TFrSearchOrderSpecialNo>(); },
         QStringLiteral("ค้นหา เลขที่ Order พิเศษ"),
         QSize(528, 279),
         QStringLiteral("เลขที่"),
         {{"OrderNo", QStringLiteral("เลขที่"), 138},
          {"OrderDate", QStringLiteral("วันที่"), 97},
          {"BranchCode", QStringLiteral("รหัสสาขา"), 116}}},
    };
    for (bool thai : {true, false}) {
        config_->ThaiLanguage = thai;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.caption.toStdString() + (thai ? " Thai" : " English"));
            const auto lookup = c.make();
            lookup->show();
            EXPECT_EQ(lookup->windowTitle(), c.caption);
            EXPECT_EQ(lookup->size(), c.size);
            EXPECT_EQ(lookup->minimumSize(), lookup->maximumSize()) << "not resizable";
            EXPECT_FALSE(lookup->windowFlags() & Qt::WindowCloseButtonHint);
            EXPECT_EQ(lookup->Label3->text(), c.label) << "the label stays Thai";
            EXPECT_EQ(lookup->Code->width(), c.size.width() == 762 ? 149 : 120);
            EXPECT_EQ(lookup->BtSearch->text(), thai ? QStringLiteral("ค้นหา") : "Search");
            EXPECT_EQ(lookup->BtOk->text(), thai ? QStringLiteral("เลือก") : "Choose");
            EXPECT_EQ(lookup->BtCancel->text(), thai ? QStringLiteral("ไม่เลือก") : "Cancel");
            if (!thai) {
                EXPECT_EQ(lookup->BtOk->font().pointSize(), 8);
            }
            EXPECT_EQ(lookup->DgSearch->toolTip(), thai ? kThaiTip : QString());
            EXPECT_EQ(lookup->BtSearch->focusPolicy(), Qt::NoFocus) << "not a tab stop";
            const ui::DatasetModel* model = lookup->DgSearch->datasetModel();
            ASSERT_EQ(model->columns().size(), c.columns.size());
            for (int i = 0; i < int(c.columns.size()); ++i) {
                const Column& col = c.columns[i];
                EXPECT_EQ(model->columns()[i].field, QString::fromLatin1(col.field));
                EXPECT_EQ(model->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString(),
                          col.title);
                if (col.width > 0) {
                    EXPECT_EQ(lookup->DgSearch->columnWidth(i), col.width) << col.field;
                }
            }
            lookup->hide();
        }
    }

    TF_SearchProductUnitsTivasMaster product;
    product.show();
    EXPECT_EQ(product.windowTitle(), QStringLiteral("ค้นหาชื่อสินค้า"));
    EXPECT_EQ(product.size(), QSize(846, 419));
    EXPECT_EQ(product.SearchGrid->size(), QSize(846, 329));
    EXPECT_EQ(product.SearchGrid->y() + product.SearchGrid->height(), 419) << "at the bottom";
    EXPECT_EQ(product.InputName->width(), 286);
    EXPECT_EQ(product.InputName->maxLength(), 60);
    EXPECT_EQ(product.EdBarcode->width(), 167);
    EXPECT_EQ(product.EdBarcode->maxLength(), 60);
    EXPECT_EQ(product.FullWord->text(), QStringLiteral("หาเต็มคำ"));
    EXPECT_EQ(product.Label1->text(), QStringLiteral("ชื่อสินค้า"));
    EXPECT_EQ(product.BSearch->text(), QStringLiteral("ค้นหา"));
    EXPECT_EQ(product.Bok->text(), QStringLiteral("เลือก"));
    EXPECT_EQ(product.BCancel->text(), QStringLiteral("ไม่เลือก"));
    const struct {
        const char* field;
        QString title;
        int width;
        bool centred;
    } productColumns[] = {
        {"ProdCode", QStringLiteral("รหัสสินค้า"), 142, false},
        {"barcode", QStringLiteral("รหัสบาร์โค้ด"), 130, true},
        {"BuyingDecisionCode", QStringLiteral("Buying Decision Code"), 147, false},
        {"unitname", QStringLiteral("หน่วย"), 86, true},
        {"thainame", QStringLiteral("ชื่อสินค้า/บริการ"), 220, false},
        {"price", QStringLiteral("ราคาขาย/หน่วย"), 81, true}};
    const ui::DatasetModel* model = product.SearchGrid->datasetModel();
    ASSERT_EQ(model->columns().size(), std::size(productColumns));
    for (int i = 0; i < int(std::size(productColumns)); ++i) {
        const auto& col = productColumns[i];
        EXPECT_EQ(model->columns()[i].field, QString::fromLatin1(col.field));
        EXPECT_EQ(model->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString(), col.title);
        EXPECT_EQ(product.SearchGrid->columnWidth(i), col.width) << col.field;
        const auto alignment =
            model->headerData(i, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_EQ(bool(alignment & Qt::AlignHCenter), col.centred) << col.field;
    }
}

// ---- Base rules -----------------------------------------------------------------------

TEST_F(Lookups, EnterSearchesOutsideTheGridAndChoosesInItDownReachesTheGrid) {
    TFrSearchOrderSpecialNo lookup;
    lookup.show();
    EXPECT_EQ(lookup.focusWidget(), lookup.Code);
    QSignalSpy returns(lookup.Code, &QLineEdit::returnPressed);

    key(lookup, Qt::Key_Return);
    ASSERT_TRUE(lookup.QSearch.isActive());
    ASSERT_FALSE(lookup.QSearch.isEmpty()); // more rows come between events, or as keys ask
    EXPECT_EQ(lookup.focusWidget(), lookup.DgSearch);
    EXPECT_EQ(returns.count(), 0) << "the edit never receives Enter";

    lookup.Code->setFocus();
    key(lookup, Qt::Key_Down);
    EXPECT_EQ(lookup.focusWidget(), lookup.DgSearch) << "Down moves from Code to the grid";
    key(lookup, Qt::Key_Down); // in the grid Down keeps its meaning: next row
    EXPECT_EQ(lookup.QSearch.recNo(), 2);
    const QString second = lookup.QSearch.fieldByName(QStringLiteral("OrderNo")).asString();
    key(lookup, Qt::Key_Return);
    EXPECT_FALSE(lookup.isVisible());
    EXPECT_EQ(lookup.result(), QDialog::Accepted);
    EXPECT_EQ(lookup.SelectedCode, second);
}

TEST_F(Lookups, WaysOfClosingAndWhatTheCallerReads) {
    enum Way { EscAfterHighlight, DoubleClick, CancelButtonByEnter, OkUnsearched, OkNoRows };
    const struct {
        Way way;
        const char* name;
        int result;
        bool selected;
    } cases[] = {
        {EscAfterHighlight, "Esc after a row was highlighted", QDialog::Rejected, false},
        {DoubleClick, "double click on the second row", QDialog::Accepted, true},
        {CancelButtonByEnter, "Enter on the focused Cancel button", QDialog::Rejected, false},
        {OkUnsearched, "OK before any search", QDialog::Rejected, false},
        {OkNoRows, "OK after a search without rows", QDialog::Rejected, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prompts_.answerModal([&](QDialog& dialog) {
            auto& lookup = static_cast<TFrSearchOrderSpecialNo&>(dialog);
            switch (c.way) {
            case EscAfterHighlight:
                key(lookup, Qt::Key_Return);
                key(lookup, Qt::Key_Down);
                key(lookup, Qt::Key_Escape);
                break;
            case DoubleClick: {
                key(lookup, Qt::Key_Return);
                readAll(lookup.DgSearch); // the rows the user sees before clicking
                const QModelIndex second = lookup.DgSearch->model()->index(1, 0);
                QTest::mouseDClick(lookup.DgSearch->viewport(), Qt::LeftButton, Qt::NoModifier,
                                   lookup.DgSearch->visualRect(second).center());
                break;
            }
            case CancelButtonByEnter:
                lookup.BtCancel->setFocus();
                key(lookup, Qt::Key_Return);
                EXPECT_FALSE(lookup.QSearch.isActive()) << "Enter on a button runs no search";
                break;
            case OkUnsearched:
                QTest::mouseClick(lookup.BtOk, Qt::LeftButton);
                break;
            case OkNoRows:
                type(lookup, lookup.Code, QStringLiteral("NONE"));
                key(lookup, Qt::Key_Return);
                EXPECT_TRUE(lookup.QSearch.isEmpty());
                QTest::mouseClick(lookup.BtOk, Qt::LeftButton);
                break;
            }
            EXPECT_FALSE(dialog.isVisible());
            return dialog.result();
        });
        TFrSearchOrderSpecialNo lookup;
        const int result = ui::execModal(lookup);
        EXPECT_EQ(result, c.result);
        if (c.selected) {
            const QStringList numbers = column(
                QStringLiteral("DMDATA"),
                QStringLiteral("select distinct OrderNo from TranBranch where OrderType = 'L' "
                               "order by OrderNo desc"));
            EXPECT_EQ(lookup.SelectedCode, numbers.value(1));
        } else {
            EXPECT_EQ(lookup.SelectedCode, QString());
        }
    }
}

TEST_F(Lookups, CancelledDocumentIsRefusedAndTheLookupStaysOpen) {
    const QStringList withRemark = {
        QStringLiteral("Select OrderNO, Delflag, 'ลูกค้ายกเลิก' DelRemark"),
        QStringLiteral("From OrderShereHd"), QStringLiteral("Order By OrderNO")};
    const QStringList withoutRemark = {QStringLiteral("Select OrderNO, Delflag"),
                                       QStringLiteral("From OrderShereHd"),
                                       QStringLiteral("Order By OrderNO")};
    const struct {
        bool thai;
        const QStringList* statement;
        QStringList messages;
    } cases[] = {
        {true,
         &withRemark,
         {QStringLiteral("เอกสารถูกยกเลิกแล้ว"), QStringLiteral("สาเหตุยกเลิก : ลูกค้ายกเลิก")}},
        {false,
         &withRemark,
         {QStringLiteral("Document Was Deleted"), QStringLiteral("สาเหตุยกเลิก : ลูกค้ายกเลิก")}},
        {true, &withoutRemark, {QStringLiteral("เอกสารถูกยกเลิกแล้ว")}},
    };
    const QString cancelled =
        column(QStringLiteral("DMDATA"),
               QStringLiteral("select OrderNO from OrderShereHd where Delflag = 'Y'"))
            .value(0);
    ASSERT_FALSE(cancelled.isEmpty());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.messages.join(" / ").toStdString());
        config_->ThaiLanguage = c.thai;
        prompts_.clear();
        const auto lookup = baseLookup(*c.statement, QStringLiteral("OrderNO"));
        lookup->show();
        key(*lookup, Qt::Key_Return);
        ASSERT_TRUE(lookup->QSearch.locate(QStringLiteral("OrderNO"), cancelled));
        key(*lookup, Qt::Key_Return);
        EXPECT_EQ(prompts_.texts(), c.messages);
        EXPECT_TRUE(lookup->isVisible()) << "the close is refused";
        EXPECT_EQ(lookup->SelectedCode, QString());

        lookup->QSearch.first(); // another, valid choice closes the lookup
        ASSERT_NE(lookup->QSearch.fieldByName(QStringLiteral("Delflag")).asString(), "Y");
        key(*lookup, Qt::Key_Return);
        EXPECT_FALSE(lookup->isVisible());
        EXPECT_EQ(lookup->result(), QDialog::Accepted);
        EXPECT_EQ(lookup->SelectedCode,
                  lookup->QSearch.fieldByName(QStringLiteral("OrderNO")).asString());
    }
}

TEST_F(Lookups, RowColoursFollowTheFirstFlagColumnPresent) {
    const QColor red(255, 0, 0), blue(0, 0, 255);
    const struct {
        const char* select; // two rows: the first is current (highlighted) after the search
        std::optional<QColor> first, second; // for a matching row; nullopt: not matching
        bool anyColour;
    } cases[] = {
        {"select column1 Code, column2 delflag from (values ('A', 'Y'), ('B', 'N'))",
         red,
         {},
         true},
        {"select column1 Code, column2 Clear from (values ('A', 'Y'), ('B', 'N'))", blue, {}, true},
        {"select column1 Code, column2 Active from (values ('A', 'N'), ('B', 'Y'))", red, {}, true},
        {"select column1 Code, column2 DelFlag from (values ('A', 'y'), ('B', ''))", {}, {}, true},
        {"select column1 Code, column2 DelFlag, column3 Clear from (values ('A', 'N', 'Y'), "
         "('B', 'Y', 'N'))",
         {},
         red,
         true},
        {"select column1 Code, column2 Clear, column3 Active from (values ('A', 'N', 'N'), "
         "('B', 'Y', 'Y'))",
         {},
         blue,
         true},
        {"select column1 Code, column2 Other from (values ('A', 'Y'), ('B', 'N'))", {}, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.select);
        const auto lookup = baseLookup({QString::fromLatin1(c.select)}, QStringLiteral("Code"));
        lookup->show();
        key(*lookup, Qt::Key_Return);
        readAll(lookup->DgSearch);
        ASSERT_EQ(lookup->QSearch.recordCount(), 2);
        const QPalette& palette = lookup->DgSearch->palette();
        const QAbstractItemModel* model = lookup->DgSearch->model();
        auto background = [&](int row) { return model->index(row, 0).data(Qt::BackgroundRole); };
        auto expected = [&](const std::optional<QColor>& match, bool highlighted) {
            if (!c.anyColour) {
                return QVariant();
            }
            if (match) {
                return QVariant(*match);
            }
            return QVariant(palette.color(highlighted ? QPalette::Text : QPalette::Base));
        };
        for (int current : {0, 1}) {
            lookup->QSearch.setRecNo(current + 1);
            EXPECT_EQ(background(0), expected(c.first, current == 0)) << "current " << current;
            EXPECT_EQ(background(1), expected(c.second, current == 1)) << "current " << current;
        }
    }
}

// ---- Title-click sorting --------------------------------------------------------------

TEST_F(Lookups, TitleClicksAlternateAscendingAndDescendingByTheSelectListPosition) {
    TFrSearchOrderSpecialNo lookup;
    lookup.show();
    key(lookup, Qt::Key_Return);
    const struct {
        const char* field;
        const char* line;
        bool descending;
    } clicks[] = {{"BranchCode", "Order By 3", false},
                  {"OrderNo", "Order By 1", false},
                  {"OrderNo", "Order By 1 Desc", true},
                  {"OrderNo", "Order By 1", false},
                  {"OrderDate", "Order By 2", false}};
    for (const auto& click : clicks) {
        SCOPED_TRACE(std::string(click.field) + " -> " + click.line);
        clickTitle(lookup.DgSearch, QString::fromLatin1(click.field));
        EXPECT_EQ(orderByLine(lookup.QSearch), QString::fromLatin1(click.line));
        EXPECT_EQ(TFrSearch::SortFieldName, QString::fromLatin1(click.field).toUpper());
        const QStringList values = shown(lookup.DgSearch, QString::fromLatin1(click.field));
        ASSERT_GT(values.size(), 1);
        QStringList sorted = values;
        if (QString::fromLatin1(click.field) != QLatin1String("OrderDate")) {
            std::sort(sorted.begin(), sorted.end());
            if (click.descending) {
                std::reverse(sorted.begin(), sorted.end());
            }
            EXPECT_EQ(values, sorted);
        }
        EXPECT_EQ(lookup.focusWidget(), lookup.DgSearch);
    }
}

TEST_F(Lookups, SortStateIsSharedByEveryLookupOfTheRun) {
    {
        TFrSearchOrderSpecialNo special;
        special.show();
        key(special, Qt::Key_Return);
        clickTitle(special.DgSearch, QStringLiteral("OrderNo"));
        EXPECT_EQ(orderByLine(special.QSearch), QStringLiteral("Order By 1"));
    }
    TFrSearchOrderShereNo share;
    share.show();
    key(share, Qt::Key_Return);
    clickTitle(share.DgSearch, QStringLiteral("OrderNO"));
    EXPECT_EQ(orderByLine(share.QSearch), QStringLiteral("Order By 1 Desc"))
        << "a column of the same name continues the alternation";
    const QStringList numbers = shown(share.DgSearch, QStringLiteral("OrderNO"));
    QStringList descending = numbers;
    std::sort(descending.begin(), descending.end(), std::greater<>());
    EXPECT_EQ(numbers, descending);
}

TEST_F(Lookups, RemarkAndMemoTitlesAndStatementsWithoutOrderByChangeNothing) {
    const QStringList lines = {QStringLiteral("Select OrderNO, 'a' Remark, 'b' mEmO, 'c' Remarks"),
                               QStringLiteral("From OrderShereHd"),
                               QStringLiteral("Order By OrderNO Desc")};
    const struct {
        const char* field;
        bool reruns;
        const char* line;
    } cases[] = {{"Remark", false, "Order By OrderNO Desc"},
                 {"mEmO", false, "Order By OrderNO Desc"},
                 {"Remarks", true, "Order By 4"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        TFrSearch::SortFieldName = QStringLiteral("BEFORE");
        TFrSearch::SortDescNext = false;
        const auto lookup = baseLookup(lines, QStringLiteral("OrderNO"));
        lookup->show();
        key(*lookup, Qt::Key_Return);
        QSignalSpy opened(&lookup->QSearch, &db::Dataset::afterOpen);
        clickTitle(lookup->DgSearch, QString::fromLatin1(c.field));
        EXPECT_EQ(opened.count(), c.reruns ? 1 : 0);
        EXPECT_EQ(orderByLine(lookup->QSearch), QString::fromLatin1(c.line));
        EXPECT_EQ(TFrSearch::SortFieldName,
                  c.reruns ? QString::fromLatin1(c.field).toUpper() : QStringLiteral("BEFORE"));
    }

    // Without an ORDER BY line the statement is re-run as it is and the state stays.
    const auto unordered =
        baseLookup({QStringLiteral("Select OrderNO From OrderShereHd")}, QStringLiteral("OrderNO"));
    unordered->show();
    key(*unordered, Qt::Key_Return);
    TFrSearch::SortFieldName = QStringLiteral("BEFORE");
    QSignalSpy opened(&unordered->QSearch, &db::Dataset::afterOpen);
    clickTitle(unordered->DgSearch, QStringLiteral("OrderNO"));
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(unordered->QSearch.sqlLines(), QStringList{"Select OrderNO From OrderShereHd"});
    EXPECT_EQ(TFrSearch::SortFieldName, QStringLiteral("BEFORE"));
}

TEST_F(Lookups, TitleClickKeepsTheFiltersOfTheLastSearch) {
    const QString oldest =
        column(QStringLiteral("DMDATA"),
               QStringLiteral("select min(OrderNo) from TranBranch where OrderType = 'L'"))
            .value(0);
    TFrSearchOrderSpecialNo lookup;
    lookup.show();
    type(lookup, lookup.Code, oldest.left(4)); // last year's numbers only
    key(lookup, Qt::Key_Return);
    const QStringList found = shown(lookup.DgSearch, QStringLiteral("OrderNo"));
    ASSERT_FALSE(found.isEmpty());
    lookup.Code->clear(); // changed since, not searched again
    clickTitle(lookup.DgSearch, QStringLiteral("OrderNo"));
    EXPECT_EQ(shown(lookup.DgSearch, QStringLiteral("OrderNo")), found);
}

// ---- Branch lookup --------------------------------------------------------------------

// A list far longer than a slice: the first rows show at once, the rest come in between
// events, Ctrl+End reaches the last row of the whole result, a title click sorts every row
// on the server, colours hold on rows read late, and the chosen row is returned.
TEST_F(Lookups, LongListShowsItsFirstRowsScrollsToTheEndSortsAllAndReturnsTheChoice) {
    constexpr int kRows = 3000;
    exec(QStringLiteral("create table Many(No INTEGER PRIMARY KEY, Name VARCHAR(20), Score "
                        "INTEGER, Active VARCHAR(1))"));
    exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < "
                        ":P1) insert into Many select i, 'item ' || i, (i * 37) % 1000, case when "
                        "i % 500 = 0 then 'N' else 'Y' end from n"),
         {kRows});
    const QColor red(255, 0, 0);
    const int slice = 40;
    QString secondRow;
    prompts_.answerModal([&](QDialog& dialog) -> int {
        auto& lookup = static_cast<TFrSearch&>(dialog);
        ui::DbGrid* grid = lookup.DgSearch;
        const ui::DatasetModel* model = grid->datasetModel();
        grid->datasetModel()->setSlice(slice, 0);
        key(lookup, Qt::Key_Return);
        // The first rows are there before the rest has been read.
        EXPECT_GE(model->rowCount(), 1);
        EXPECT_LT(model->rowCount(), kRows);
        EXPECT_TRUE(model->canFetchMore({}));
        EXPECT_EQ(lookup.focusWidget(), grid);
        EXPECT_EQ(model->index(0, model->columnOf("No")).data().toString(), QStringLiteral("1"));
        QApplication::processEvents();
        EXPECT_GT(model->rowCount(), 1) << "more rows come in between events";
        EXPECT_LT(model->rowCount(), kRows);

        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        EXPECT_EQ(model->rowCount(), kRows);
        EXPECT_FALSE(model->canFetchMore({}));
        EXPECT_EQ(lookup.QSearch.recNo(), kRows);
        EXPECT_EQ(grid->currentIndex().row(), kRows - 1);
        EXPECT_EQ(lookup.QSearch.fieldByName("No").asInteger(), kRows);
        const QModelIndex lastName = model->index(kRows - 1, model->columnOf("Name"));
        EXPECT_EQ(lastName.data(Qt::BackgroundRole).value<QColor>(), red) << "Active N";

        for (const bool descending : {false, true}) {
            SCOPED_TRACE(descending ? "descending" : "ascending");
            clickTitle(grid, QStringLiteral("Score"));
            EXPECT_EQ(orderByLine(lookup.QSearch), descending ? QStringLiteral("Order By 3 Desc")
                                                              : QStringLiteral("Order By 3"));
            EXPECT_EQ(model->index(0, model->columnOf("Score")).data().toString(),
                      descending ? QStringLiteral("999") : QStringLiteral("0"))
                << "the first row of all rows sorted";
            std::vector<int> scores;
            for (const QString& score : shown(grid, QStringLiteral("Score"))) {
                scores.push_back(score.toInt());
            }
            EXPECT_EQ(int(scores.size()), kRows);
            if (descending) {
                EXPECT_TRUE(std::is_sorted(scores.rbegin(), scores.rend()));
            } else {
                EXPECT_TRUE(std::is_sorted(scores.begin(), scores.end()));
            }
        }
        // Down to the second row, chosen with Enter.
        grid->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(grid, Qt::Key_Down);
        EXPECT_EQ(lookup.QSearch.recNo(), 2);
        secondRow = model->index(1, model->columnOf("No")).data().toString();
        key(lookup, Qt::Key_Return);
        return dialog.result();
    });
    auto lookup = baseLookup(
        {QStringLiteral("Select No, Name, Score, Active From Many"), QStringLiteral("Order By No")},
        QStringLiteral("No"));
    EXPECT_EQ(ui::execModal(*lookup), QDialog::Accepted);
    EXPECT_FALSE(secondRow.isEmpty());
    EXPECT_EQ(lookup->SelectedCode, secondRow);
}

TEST_F(Lookups, BranchLookupListsBranchesInOperationInBranchOrder) {
    struct Branch {
        int number;
        QString code;
        bool inOperation;
    };
    std::vector<Branch> all;
    {
        db::Query q(QStringLiteral("DmCfg"),
                    db::SqlSource("select BranchNo, BranchCode, StopDatabase from Branch"));
        q.open();
        for (q.first(); !q.eof(); q.next()) {
            all.push_back({int(q.fields()[0]->asInteger()), q.fields()[1]->asString(),
                           q.fields()[2]->asString() == QLatin1String("N")});
        }
        std::sort(all.begin(), all.end(),
                  [](const Branch& a, const Branch& b) { return a.number < b.number; });
    }
    auto expected = [&](const QString& text, bool includeFS) {
        QStringList codes;
        for (const Branch& b : all) {
            if (b.inOperation && b.code.contains(text) &&
                (includeFS || !b.code.startsWith(QLatin1String("FS")))) {
                codes << b.code;
            }
        }
        return codes;
    };
    ASSERT_FALSE(expected(QString(), true).contains(QStringLiteral("B020")));

    for (bool includeFS : {false, true}) {
        SCOPED_TRACE(includeFS ? "with FS branches" : "without FS branches");
        TFrSearch::SortFieldName.clear(); // as at the start of a run
        TFrSearchBranch lookup;
        lookup.IncludeFSBranches = includeFS;
        lookup.show();
        // Listed at once, the focus in the grid on the first row.
        EXPECT_EQ(shown(lookup.DgSearch, QStringLiteral("BranchCode")),
                  expected(QString(), includeFS));
        EXPECT_EQ(shown(lookup.DgSearch, QStringLiteral("BranchCode")).contains("FS001"),
                  includeFS);
        EXPECT_EQ(lookup.focusWidget(), lookup.DgSearch);
        EXPECT_EQ(lookup.QSearch.recNo(), 1);
        EXPECT_EQ(lookup.KeyFieldName, QStringLiteral("BRANCHCODE"));

        clickTitle(lookup.DgSearch, QStringLiteral("BranchName")); // sorted by name ...
        EXPECT_EQ(orderByLine(lookup.QSearch), QStringLiteral("Order By 2"));
        // ... until the next search, which builds the statement again.
        for (const QString& text : {QStringLiteral("B01"), QStringLiteral("FS"),
                                    QStringLiteral("1"), QStringLiteral("ZZ"), QString()}) {
            SCOPED_TRACE(text.toStdString());
            type(lookup, lookup.Code, text);
            key(lookup, Qt::Key_Return);
            const QStringList want = expected(text, includeFS);
            EXPECT_EQ(shown(lookup.DgSearch, QStringLiteral("BranchCode")), want);
            EXPECT_EQ(orderByLine(lookup.QSearch), QStringLiteral("Order By BranchNo"));
            EXPECT_EQ(lookup.focusWidget(),
                      want.isEmpty() ? static_cast<QWidget*>(lookup.Code) : lookup.DgSearch);
        }
    }
}

TEST_F(Lookups, BranchLookupThroughTheCallerProtocol) {
    const struct {
        Qt::Key last;
        int result;
        const char* selected;
    } cases[] = {{Qt::Key_Return, QDialog::Accepted, "FS002"},
                 {Qt::Key_Escape, QDialog::Rejected, ""}};
    for (const auto& c : cases) {
        prompts_.answerModal([&](QDialog& dialog) {
            auto& lookup = static_cast<TFrSearchBranch&>(dialog);
            type(lookup, lookup.Code, QStringLiteral("FS"));
            key(lookup, Qt::Key_Return);
            key(lookup, Qt::Key_Down);
            key(lookup, c.last);
            return dialog.result();
        });
        TFrSearchBranch lookup;
        lookup.IncludeFSBranches = true;
        EXPECT_EQ(ui::execModal(lookup), c.result);
        EXPECT_EQ(lookup.SelectedCode, QString::fromLatin1(c.selected));
    }
}

// ---- Order number lookups -------------------------------------------------------------

TEST_F(Lookups, OrderLookupsOpenEmptyAndListEveryOrderNewestFirst) {
    const struct {
        std::function<std::unique_ptr<TFrSearch>()> make;
        const char* field;
        QString all;
    } cases[] = {
        {[] { return std::make_unique<TFrSearchOrderShereNo>(); }, "OrderNO",
         QStringLiteral("select H.OrderNO from OrderShereHd H join ProductUnits U on U.Barcode = "
                        "H.Barcode order by H.OrderNO desc")},
        {[] { return std::make_unique<TFrSearchOrderSpecialNo>(); }, "OrderNo",
         QStringLiteral("select distinct OrderNo from TranBranch where OrderType = 'L' order by "
                        "OrderNo desc")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        const auto lookup = c.make();
        lookup->Code->setText(QStringLiteral("LEFT OVER"));
        lookup->show();
        EXPECT_FALSE(lookup->QSearch.isActive());
        EXPECT_EQ(lookup->DgSearch->model()->rowCount(), 0);
        EXPECT_EQ(lookup->Code->text(), QString());
        EXPECT_EQ(lookup->focusWidget(), lookup->Code);
        EXPECT_EQ(lookup->KeyFieldName, QStringLiteral("OrderNO"));
        key(*lookup, Qt::Key_Return);
        const QStringList want = column(QStringLiteral("DMDATA"), c.all);
        ASSERT_GT(want.size(), 2);
        EXPECT_EQ(shown(lookup->DgSearch, QString::fromLatin1(c.field)), want);
    }
}

TEST_F(Lookups, ShareOrderLookupFiltersByBothPrefixesThroughTheInnerJoin) {
    // An order whose barcode has no product unit row is never listed.
    exec(QStringLiteral("insert into OrderShereHd (OrderNO, OrderDate, ProdCode, BarCode, Delflag, "
                        "Approved, UpToTranBranch) values ('SH9900000001', '2099-01-01', "
                        "'P999999', '0000000000000', 'N', 'N', 'N')"));
    const QString cancelled =
        column(QStringLiteral("DMDATA"),
               QStringLiteral("select OrderNO from OrderShereHd where Delflag = 'Y'"))
            .value(0);
    const struct {
        QString number, barcode;
        QStringList listed;
    } cases[] = {
        {QStringLiteral("SH99"), QString(), {}},
        {QString(), QStringLiteral("0000"), {}},
        {QStringLiteral(" ") + cancelled.left(6) + QStringLiteral(" "),
         QStringLiteral(" 8850000000102 "),
         {cancelled.left(4) + QStringLiteral("00000001")}},
        {cancelled.left(4),
         QStringLiteral("88500000002"),
         {cancelled.left(4) + QStringLiteral("00000005")}},
        {QStringLiteral("SH"), QStringLiteral("8850000000102"),
         column(QStringLiteral("DMDATA"),
                QStringLiteral("select OrderNO from OrderShereHd where BarCode = "
                               "'8850000000102' order by OrderNO desc"))},
        {cancelled, QString(), {cancelled}},
        {QStringLiteral("8850000000102"), QString(), {}}, // the number filter is no barcode
    };
    TFrSearchOrderShereNo lookup;
    lookup.show();
    for (const auto& c : cases) {
        SCOPED_TRACE((c.number + " / " + c.barcode).toStdString());
        type(lookup, lookup.Code, c.number);
        lookup.Barcode->setText(c.barcode);
        key(lookup, Qt::Key_Return);
        EXPECT_EQ(shown(lookup.DgSearch, QStringLiteral("OrderNO")), c.listed);
    }

    // The cancelled order is drawn red.
    type(lookup, lookup.Code, cancelled);
    key(lookup, Qt::Key_Return);
    ASSERT_EQ(lookup.QSearch.recordCount(), 1);
    lookup.Code->setFocus();
    EXPECT_EQ(lookup.DgSearch->model()->index(0, 0).data(Qt::BackgroundRole),
              QVariant(QColor(255, 0, 0)));
}

TEST_F(Lookups, SpecialOrderLookupGroupsTypeLRowsByNumberDateAndBranch) {
    const QString insert = QStringLiteral(
        "insert into TranBranch (OrderNo, OrderDate, OrderType, BranchCode, BarCode) values "
        "(:P1, :P2, :P3, :P4, '8850000000102')");
    const struct {
        const char* number;
        const char* date;
        const char* type;
        const char* branch;
    } rows[] = {{"SP9900000001", "2099-01-01 00:00:00.000", "L", "B001"},
                {"SP9900000001", "2099-01-01 00:00:00.000", "L", "B001"},
                {"SP9900000001", "2099-01-02 00:00:00.000", "L", "B001"},
                {"SP9900000001", "2099-01-02 00:00:00.000", "L", "B002"},
                {"SP9900000002", "2099-01-03 00:00:00.000", "S", "B001"}};
    for (const auto& r : rows) {
        exec(insert, {r.number, r.date, r.type, r.branch});
    }
    TFrSearchOrderSpecialNo lookup;
    lookup.show();
    type(lookup, lookup.Code, QStringLiteral("SP99"));
    key(lookup, Qt::Key_Return);
    QStringList listed; // rows of one number come in no particular order
    const QStringList numbers = shown(lookup.DgSearch, QStringLiteral("OrderNo"));
    const QStringList dates = shown(lookup.DgSearch, QStringLiteral("OrderDate"));
    const QStringList branches = shown(lookup.DgSearch, QStringLiteral("BranchCode"));
    for (int i = 0; i < numbers.size(); ++i) {
        listed << numbers[i] + ' ' + dates[i] + ' ' + branches[i];
    }
    listed.sort();
    EXPECT_EQ(listed, QStringList({"SP9900000001 01/01/2099 B001", "SP9900000001 02/01/2099 B001",
                                   "SP9900000001 02/01/2099 B002"}));

    // Share-order rows of the transfer table are never listed, and nothing is coloured.
    type(lookup, lookup.Code, QStringLiteral("SH"));
    key(lookup, Qt::Key_Return);
    EXPECT_TRUE(lookup.QSearch.isEmpty());
    type(lookup, lookup.Code, QString());
    key(lookup, Qt::Key_Return);
    ASSERT_FALSE(lookup.QSearch.isEmpty());
    EXPECT_FALSE(lookup.DgSearch->model()->index(0, 0).data(Qt::BackgroundRole).isValid());
}

TEST_F(Lookups, OrderLookupsFocusFollowsTheResultOfTheNewSearch) {
    const struct {
        std::function<std::unique_ptr<TFrSearch>()> make;
        QString found;
    } lookups[] = {{[] { return std::make_unique<TFrSearchOrderShereNo>(); }, "SH"},
                   {[] { return std::make_unique<TFrSearchOrderSpecialNo>(); }, "SP"}};
    for (const auto& l : lookups) {
        SCOPED_TRACE(l.found.toStdString());
        const auto lookup = l.make();
        lookup->show();
        // Found rows after nothing, nothing after found rows, then rows again.
        for (const QString& text : {l.found, QStringLiteral("NONE"), l.found}) {
            SCOPED_TRACE(text.toStdString());
            type(*lookup, lookup->Code, text);
            key(*lookup, Qt::Key_Return);
            const bool rows = text == l.found;
            ASSERT_EQ(!lookup->QSearch.isEmpty(), rows);
            EXPECT_EQ(lookup->focusWidget(),
                      rows ? static_cast<QWidget*>(lookup->DgSearch) : lookup->Code);
            if (rows) {
                EXPECT_EQ(lookup->QSearch.recNo(), 1);
            }
        }
    }
}

TEST_F(Lookups, SearchErrorsReachTheErrorHandlerAndTheLookupStaysOpen) {
    exec(QStringLiteral("drop table TranBranch"));
    exec(QStringLiteral("drop table Nvk.dbo.productprice"));
    TFrSearchOrderSpecialNo orders;
    orders.show();
    key(orders, Qt::Key_Return);
    EXPECT_TRUE(orders.isVisible());
    TF_SearchProductUnitsTivasMaster products;
    products.show();
    key(products, Qt::Key_Return);
    EXPECT_TRUE(products.isVisible());
    EXPECT_EQ(errors_.size(), 2);
    for (const QString& e : errors_) {
        EXPECT_TRUE(e.contains(QLatin1String("no such table"), Qt::CaseInsensitive))
            << e.toStdString();
    }
    errors_.clear();
}

// ---- Product unit lookup --------------------------------------------------------------

class ProductLookup : public Lookups {
protected:
    void SetUp() override {
        Lookups::SetUp();
        // A product whose name and barcode hold apostrophes, with Latin letters.
        exec(QStringLiteral("insert into Nvk.dbo.Product (Id, Code, ThaiName, BuyingCode) values "
                            "(9001, 'P009001', :P1, 'DC')"),
             {QStringLiteral("Children's Shampoo")});
        exec(QStringLiteral("insert into Nvk.dbo.ProductUnits (Id, Product, Barcode, UnitName, "
                            "Fraction, SmallUnitFlag) values (90001, 9001, :P1, 'ขวด', 1, 'Y')"),
             {QStringLiteral("CS'001")});
        exec(QStringLiteral("insert into Nvk.dbo.productprice (Product, ProductUnits, price, "
                            "pricetype) values (9001, 90001, 10, 1)"));
    }

    struct Search {
        Search(QString name = {}, bool fullWord = false, QString barcode = {},
               QString smallUnitOnly = QStringLiteral("Y"))
            : name(std::move(name)), fullWord(fullWord), barcode(std::move(barcode)),
              smallUnitOnly(std::move(smallUnitOnly)) {}
        QString name;
        bool fullWord;
        QString barcode;
        QString smallUnitOnly;
    };
    // Shows the lookup, fills the edits and presses Enter in the name edit.
    static void search(TF_SearchProductUnitsTivasMaster& lookup, const Search& s) {
        lookup.SmallUnitOnly = s.smallUnitOnly;
        lookup.EdBarcode->setText(s.barcode);
        if (!lookup.isVisible()) {
            lookup.show();
        }
        lookup.InputName->setFocus();
        lookup.InputName->setText(s.name);
        lookup.FullWord->setChecked(s.fullWord);
        key(lookup, Qt::Key_Return);
    }
};

TEST_F(ProductLookup, NameAndBarcodeFiltersPricesAndSmallUnits) {
    const QString water = QStringLiteral("น้ำดื่ม ตราภูผา 350 มล.");
    const QString mocha = QStringLiteral("กาแฟปรุงสำเร็จ 3in1 มอคค่า");
    const QStringList mochaSmallUnits = {"8850000004902", "8850000012402", "8850000019906",
                                         "8850000027406"};
    const struct {
        const char* name;
        Search search;
        QStringList barcodes;
    } cases[] = {
        {"whole name", {water, true}, {"8850000000102"}},
        {"whole name, every unit",
         {water, true, {}, {}},
         {"8850000000102", "8850000000119", "8850000000126", "8850000000133"}},
        {"whole name, blanks around",
         {QStringLiteral("  ") + water + "  ", true},
         {"8850000000102"}},
        {"part of a name is no whole name", {QStringLiteral("น้ำดื่ม ตราภูผา"), true}, {}},
        {"part of a name, contains", {QStringLiteral("3IN1 มอคค่า")}, mochaSmallUnits},
        {"whole name in another letter case",
         {mocha.toUpper() + QStringLiteral(" 18 ซอง"), true},
         {"8850000004902"}},
        {"larger unit without small-units-only",
         {{}, false, "8850000000119", {}},
         {"8850000000119"}},
        {"larger unit with small units only", {{}, false, "8850000000119"}, {}},
        {"no price of the price type", {{}, false, "8850000000409", {}}, {}},
        {"price 0", {{}, false, "8850000000607", {}}, {}},
        {"name and barcode together", {water, false, "0102"}, {"8850000000102"}},
        {"name and barcode not matching together", {water, false, "0607"}, {}},
        {"barcode contained, blanks around", {{}, false, "  88500000001  "}, {"8850000000102"}},
        {"apostrophe in a name", {QStringLiteral("children's")}, {"CS'001"}},
        {"apostrophe in a whole name", {QStringLiteral("CHILDREN'S SHAMPOO"), true}, {"CS'001"}},
        {"apostrophe in a barcode", {{}, false, "S'0"}, {"CS'001"}},
        {"quoted condition in the name", {QStringLiteral("x' or '1'='1")}, {}},
        {"quoted condition in the whole name", {QStringLiteral("x' or 'a'='a"), true}, {}},
        {"quoted condition in the barcode", {{}, false, "' OR '1'='1"}, {}},
    };
    TF_SearchProductUnitsTivasMaster lookup;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        search(lookup, c.search);
        ASSERT_TRUE(lookup.Query1.isActive());
        EXPECT_EQ(shown(lookup.SearchGrid, QStringLiteral("barcode")), c.barcodes);
        EXPECT_EQ(lookup.focusWidget(), c.barcodes.isEmpty()
                                            ? static_cast<QWidget*>(lookup.InputName)
                                            : lookup.SearchGrid);
    }
}

TEST_F(ProductLookup, PricesAreThoseOfTheCompanysPriceType) {
    const struct {
        int priceType;
        QString price;
    } cases[] = {{1, "6"}, {2, "5.75"}};
    for (const auto& c : cases) {
        config_->PosPriceType = c.priceType;
        TF_SearchProductUnitsTivasMaster lookup;
        search(lookup, {{}, false, "8850000000102"});
        EXPECT_EQ(shown(lookup.SearchGrid, QStringLiteral("price")), QStringList{c.price});
        EXPECT_EQ(shown(lookup.SearchGrid, QStringLiteral("ProdCode")), QStringList{"P000001"});
    }
}

TEST_F(ProductLookup, ShowingResetsAllButTheBarcodeAndSearchesNothing) {
    TF_SearchProductUnitsTivasMaster lookup;
    search(lookup, {QStringLiteral("แชมพู")});
    ASSERT_FALSE(lookup.Query1.isEmpty());
    key(lookup, Qt::Key_Return);
    ASSERT_EQ(lookup.result(), QDialog::Accepted);
    lookup.InputName->setText(QStringLiteral("แชมพู"));
    lookup.FullWord->setChecked(true);
    lookup.EdBarcode->setText(QStringLiteral("885"));

    lookup.show();
    EXPECT_EQ(lookup.SelectedBarcode, QString());
    EXPECT_EQ(lookup.InputName->text(), QString());
    EXPECT_FALSE(lookup.FullWord->isChecked());
    EXPECT_EQ(lookup.EdBarcode->text(), QStringLiteral("885"));
    EXPECT_FALSE(lookup.Query1.isActive());
    EXPECT_EQ(lookup.focusWidget(), lookup.InputName);
}

TEST_F(ProductLookup, KeysAndButtonsChooseOrCancel) {
    enum Way { EnterInGrid, DoubleClickSecond, EnterInBarcodeEdit, Esc, OkUnsearched, OkNoRows };
    const struct {
        Way way;
        const char* name;
        int result;
        const char* barcode;
    } cases[] = {
        {EnterInGrid, "Enter in the grid", QDialog::Accepted, "8850000000102"},
        {DoubleClickSecond, "double click on the second row", QDialog::Accepted, "8850000000119"},
        {EnterInBarcodeEdit, "Enter in the barcode edit searches", QDialog::Accepted,
         "8850000000126"},
        {Esc, "Esc after a search", QDialog::Rejected, ""},
        {OkUnsearched, "OK before a search does nothing", QDialog::Rejected, ""},
        {OkNoRows, "OK without rows does nothing", QDialog::Rejected, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool stayedOpen = false;
        prompts_.answerModal([&](QDialog& dialog) {
            auto& lookup = static_cast<TF_SearchProductUnitsTivasMaster&>(dialog);
            QSignalSpy returns(lookup.InputName, &QLineEdit::returnPressed);
            lookup.InputName->setText(QStringLiteral("น้ำดื่ม ตราภูผา 350 มล."));
            switch (c.way) {
            case EnterInGrid:
                key(lookup, Qt::Key_Return);
                EXPECT_EQ(lookup.focusWidget(), lookup.SearchGrid);
                key(lookup, Qt::Key_Return);
                break;
            case DoubleClickSecond: {
                key(lookup, Qt::Key_Return);
                readAll(lookup.SearchGrid); // the rows the user sees before clicking
                const QModelIndex second = lookup.SearchGrid->model()->index(1, 0);
                QTest::mouseDClick(lookup.SearchGrid->viewport(), Qt::LeftButton, Qt::NoModifier,
                                   lookup.SearchGrid->visualRect(second).center());
                break;
            }
            case EnterInBarcodeEdit:
                lookup.EdBarcode->setFocus();
                lookup.EdBarcode->setText(QStringLiteral("0126"));
                key(lookup, Qt::Key_Return);
                key(lookup, Qt::Key_Return);
                break;
            case Esc:
                key(lookup, Qt::Key_Return);
                key(lookup, Qt::Key_Escape);
                break;
            case OkUnsearched:
                QTest::mouseClick(lookup.Bok, Qt::LeftButton);
                stayedOpen = lookup.isVisible();
                QTest::mouseClick(lookup.BCancel, Qt::LeftButton);
                break;
            case OkNoRows:
                lookup.InputName->setText(QStringLiteral("NONE"));
                key(lookup, Qt::Key_Return);
                lookup.SearchGrid->setFocus();
                key(lookup, Qt::Key_Return);
                QTest::mouseClick(lookup.Bok, Qt::LeftButton);
                stayedOpen = lookup.isVisible();
                key(lookup, Qt::Key_Escape);
                break;
            }
            EXPECT_EQ(returns.count(), 0) << "the edit never receives Enter";
            EXPECT_FALSE(dialog.isVisible());
            return dialog.result();
        });
        TF_SearchProductUnitsTivasMaster lookup;
        lookup.SmallUnitOnly = c.way == DoubleClickSecond || c.way == EnterInBarcodeEdit
                                   ? QString()
                                   : QStringLiteral("Y");
        EXPECT_EQ(ui::execModal(lookup), c.result);
        EXPECT_EQ(lookup.SelectedBarcode, QString::fromLatin1(c.barcode));
        if (c.way == OkUnsearched || c.way == OkNoRows) {
            EXPECT_TRUE(stayedOpen);
        }
    }
}

} // namespace
