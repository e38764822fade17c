// The pick lists of a stored special order: read and grouped by picking number, drawn to
// PDF, and offered in a print preview by the window's Print and after each save.
#include "data/U_DM.h"
#include "orders/Fr_OrderSpecial.h"
#include "orders/PickListPrinter.h"
#include "orders/PickLists.h"
#include "orders/SpecialOrder.h"
#include "orders/SpecialOrderSave.h"
#include "platform/ui/Modal.h"
#include "support/DemoModules.h"
#include "support/GuiApp.h"
#include "support/QtPrinters.h"
#include "support/Statements.h"
#include "support/TestProducts.h"

#include <QAction>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

using testing_support::addProduct;
using testing_support::bind;
using testing_support::exec;
using testing_support::scalar;

const QString kBranch = QStringLiteral("B003");

QString demoOrder(int n) {
    return QStringLiteral("SP%1%2")
        .arg(QDate::currentDate().year() % 100, 2, 10, QLatin1Char('0'))
        .arg(n, 8, 10, QLatin1Char('0'));
}

struct StoredRow {
    QString pickingNo;
    QString group;
    QString close;
};

// The stored rows of an order by barcode, as the database holds them.
std::map<QString, StoredRow> storedRows(const QString& number) {
    db::Query q(QStringLiteral("DMDATA"),
                db::SqlSource("select BarCode, ProductManageNo, ResponsProdGroup, CloseOrder "
                              "from TranBranch where OrderNo = :p0 and OrderType = 'L'"));
    bind(q, {number});
    q.open();
    std::map<QString, StoredRow> rows;
    for (q.first(); !q.eof(); q.next()) {
        rows[q[QStringLiteral("BarCode")].asString()] = {
            q[QStringLiteral("ProductManageNo")].asString(),
            q[QStringLiteral("ResponsProdGroup")].asString(),
            q[QStringLiteral("CloseOrder")].asString()};
    }
    return rows;
}

// The text of a PDF, one entry per page.
QStringList pdfPages(const QString& path) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty()) {
        ADD_FAILURE() << "pdftotext not found: scripts/install-deps.sh installs poppler-utils";
        return {};
    }
    QProcess run;
    run.start(tool, {QStringLiteral("-layout"), path, QStringLiteral("-")});
    EXPECT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    QStringList pages = QString::fromUtf8(run.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) {
        pages.removeLast(); // after the last page's form feed
    }
    return pages;
}

QString writePdf(const orders::PickListSet& set, const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("picklists.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
    EXPECT_TRUE(PickListPrinter::print(set, printer));
    return path;
}

class PickLists : public ::testing::Test {
protected:
    void SetUp() override { testing_support::guiApp(); }

    // Saves an order of these products (barcode -> quantity) as the window would.
    QString save(const std::vector<QString>& barcodes) {
        orders::SpecialOrder order;
        orders::SpecialOrderSave saving(order);
        order.load(QString());
        for (const QString& barcode : barcodes) {
            order.QMemOrder.append();
            order.QMemOrder.post();
            EXPECT_EQ(order.enterBarcode(barcode, kBranch), orders::BarcodeEntry::Filled);
            order.QMemOrder.edit();
            order.QMemOrder[QStringLiteral("OrderQnty")].setValue(2);
            order.QMemOrder.post();
        }
        EXPECT_TRUE(saving.prepare(kBranch).isEmpty());
        const orders::SaveReport report =
            saving.save({kBranch, 1, QString(), QDate::currentDate().startOfDay()});
        EXPECT_EQ(report.result, orders::SaveResult::Saved);
        return report.number;
    }

    testing_support::DemoModules modules_{1, 102};
    orders::PickLists picking_;
};

// The lists of a freshly saved order follow the pick assignment: each holds exactly the rows
// of its picking number, the numbers come in the order they were drawn (the save's sort
// order: zone without regard to case, then barcode), and the rows without stock come last.
TEST_F(PickLists, FollowTheSavesGroupsAndOrder) {
    std::vector<QString> barcodes;
    int n = 0;
    barcodes.push_back(addProduct(++n, {{"B02", 50}}));
    for (int i = 0; i < 5; ++i) {
        barcodes.push_back(addProduct(++n, {{"A01", 50}}));
    }
    // The same zone in other case sorts among the others but is a group of its own: the
    // zone's barcodes after it start again under a new number.
    barcodes.push_back(addProduct(++n, {{"a01", 50}}));
    for (int i = 0; i < 22; ++i) { // 22 more: a second chunk
        barcodes.push_back(addProduct(++n, {{"A01", 50}}));
    }
    barcodes.push_back(addProduct(++n, {})); // no stock: 'B'
    const QString noStock = barcodes.back();
    barcodes.push_back(addProduct(++n, {{"B02", 50}}));
    std::reverse(barcodes.begin(), barcodes.end()); // entered out of order: the lists sort them
    const QString number = save(barcodes);
    const auto stored = storedRows(number);
    ASSERT_EQ(stored.size(), barcodes.size());

    const orders::PickListSet set = picking_.read(number);
    EXPECT_EQ(set.orderNo, number);
    EXPECT_EQ(set.orderDate, QDate::currentDate());
    EXPECT_EQ(set.branchCode, kBranch);
    EXPECT_FALSE(set.branchName.isEmpty());
    std::vector<QString> groups;
    std::vector<std::size_t> sizes;
    for (const orders::PickList& list : set.lists) {
        groups.push_back(list.group);
        sizes.push_back(list.lines.size());
    }
    EXPECT_EQ(groups,
              (std::vector<QString>{"A01#001", "a01#001", "A01#001", "A01#002", "B02#001", ""}));
    EXPECT_EQ(sizes, (std::vector<std::size_t>{5, 1, 20, 2, 2, 1}));
    ASSERT_EQ(set.lists.size(), 6u);

    std::size_t lines = 0;
    QString previousNumber;
    for (std::size_t i = 0; i + 1 < set.lists.size(); ++i) {
        const orders::PickList& list = set.lists[i];
        SCOPED_TRACE(list.pickingNo.toStdString());
        EXPECT_EQ(list.kind, orders::PickList::Kind::Picking);
        EXPECT_GT(list.pickingNo, previousNumber) << "in the order the numbers were drawn";
        previousNumber = list.pickingNo;
        QString previousBarcode;
        for (const orders::PickLine& line : list.lines) {
            const StoredRow& row = stored.at(line.barcode);
            EXPECT_EQ(row.pickingNo, list.pickingNo);
            EXPECT_EQ(row.group, line.group);
            EXPECT_EQ(line.group, list.group) << "one pick group and chunk per number";
            EXPECT_GT(line.barcode, previousBarcode) << "barcodes in order within a group";
            previousBarcode = line.barcode;
            EXPECT_EQ(line.quantity, 2);
            EXPECT_EQ(line.unit, QStringLiteral("ชิ้น"));
            EXPECT_TRUE(line.name.startsWith(QStringLiteral("สินค้าทดสอบ")));
        }
        lines += list.lines.size();
    }
    const orders::PickList& last = set.lists.back();
    EXPECT_EQ(last.kind, orders::PickList::Kind::NoStock);
    ASSERT_EQ(last.lines.size(), 1u);
    EXPECT_EQ(last.lines[0].barcode, noStock);
    EXPECT_TRUE(last.pickingNo.isEmpty());
    EXPECT_EQ(lines + 1, barcodes.size()) << "every row on exactly one list";

    std::set<QString> numbers; // each picking number of the rows on one list
    for (const auto& [barcode, row] : stored) {
        if (!row.pickingNo.isEmpty()) {
            numbers.insert(row.pickingNo);
        }
    }
    EXPECT_EQ(numbers.size() + 1, set.lists.size());
}

TEST_F(PickLists, StatesFromLaterStepsKeepTheirNumbersAndUnknownNumbersGiveNothing) {
    // Demo order 2 has been moved on by picking and delivery; one row has no stock.
    const QString number = demoOrder(2);
    const auto stored = storedRows(number);
    const orders::PickListSet set = picking_.read(number);
    std::size_t lines = 0;
    for (const orders::PickList& list : set.lists) {
        for (const orders::PickLine& line : list.lines) {
            const StoredRow& row = stored.at(line.barcode);
            EXPECT_EQ(row.pickingNo, list.pickingNo) << line.barcode.toStdString();
            EXPECT_EQ(row.close, line.closeOrder);
            EXPECT_EQ(list.kind == orders::PickList::Kind::NoStock,
                      row.close == QLatin1String("B"));
            ++lines;
        }
    }
    EXPECT_EQ(lines, stored.size());
    EXPECT_EQ(set.lists.back().kind, orders::PickList::Kind::NoStock);

    // An interrupted save's rows, not yet assigned, are listed before the rows without stock.
    const orders::PickListSet interrupted = picking_.read(demoOrder(3));
    ASSERT_FALSE(interrupted.isEmpty());
    EXPECT_EQ(interrupted.lists.back().kind, orders::PickList::Kind::Unassigned);
    EXPECT_EQ(interrupted.branchCode, QStringLiteral("FS001"));

    EXPECT_TRUE(picking_.read(QStringLiteral("SP-NO-SUCH")).isEmpty());
    EXPECT_TRUE(picking_.read(QString()).isEmpty());
}

TEST_F(PickLists, PdfHoldsTheOrderItsPickingNumbersGroupsAndBarcodes) {
    const QString number = demoOrder(2);
    const orders::PickListSet set = picking_.read(number);
    ASSERT_FALSE(set.isEmpty());
    QTemporaryDir dir;
    const QStringList pages = pdfPages(writePdf(set, dir));
    ASSERT_EQ(pages.size(), qsizetype(set.lists.size())) << "a page of its own for each list";
    const QString text = pages.join(QLatin1Char('\n'));
    for (const auto& [barcode, row] : storedRows(number)) {
        EXPECT_TRUE(text.contains(barcode)) << barcode.toStdString();
        if (!row.pickingNo.isEmpty()) {
            EXPECT_TRUE(text.contains(row.pickingNo)) << row.pickingNo.toStdString();
            EXPECT_TRUE(text.contains(row.group)) << row.group.toStdString();
        }
    }
    for (int i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(pages[i].contains(number)) << pages[i].toStdString();
        const orders::PickList& list = set.lists[std::size_t(i)];
        if (!list.pickingNo.isEmpty()) {
            EXPECT_TRUE(pages[i].contains(list.pickingNo));
        }
        for (const orders::PickLine& line : list.lines) {
            EXPECT_TRUE(pages[i].contains(line.barcode)) << "on its own list's page";
        }
    }
    // pdftotext drops some of the Thai marks above and below the line: the part it keeps.
    EXPECT_TRUE(pages.last().contains(QStringLiteral("สต็อก (B)"))) << pages.last().toStdString();
    EXPECT_TRUE(text.contains(set.branchCode));
    EXPECT_TRUE(text.contains(set.orderDate.toString(QStringLiteral("dd/MM/yyyy"))));
}

// A list longer than a page runs on with its heading repeated; the next list starts afresh.
TEST_F(PickLists, ALongListRepeatsItsHeadingOnEveryPage) {
    orders::PickListSet set{
        QStringLiteral("SP-LONG-1"), QDate(2024, 3, 26), kBranch, QStringLiteral("สาขาทดสอบ"), {}};
    orders::PickList longList{orders::PickList::Kind::Picking,
                              QStringLiteral("PM2400000777"),
                              QStringLiteral("A01#001"),
                              {}};
    for (int i = 0; i < 90; ++i) {
        longList.lines.push_back({QStringLiteral("77%1").arg(i, 11, 10, QLatin1Char('0')),
                                  QStringLiteral("สินค้ายาวมาก %1 ").arg(i).repeated(6),
                                  QStringLiteral("ชิ้น"), 1.5, QStringLiteral("P"),
                                  QStringLiteral("A01#001")});
    }
    set.lists.push_back(longList);
    set.lists.push_back(
        {orders::PickList::Kind::Picking,
         QStringLiteral("PM2400000778"),
         QStringLiteral("B02#001"),
         {{QStringLiteral("7800000000001"), QStringLiteral("อื่น"), QStringLiteral("ชิ้น"), 3,
           QStringLiteral("P"), QStringLiteral("B02#001")}}});
    QTemporaryDir dir;
    const QStringList pages = pdfPages(writePdf(set, dir));
    ASSERT_GE(pages.size(), 3);
    for (int i = 0; i < pages.size() - 1; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(pages[i].contains(QStringLiteral("SP-LONG-1")));
        EXPECT_TRUE(pages[i].contains(QStringLiteral("PM2400000777")));
        EXPECT_TRUE(pages[i].contains(QStringLiteral("A01#001")));
        EXPECT_FALSE(pages[i].contains(QStringLiteral("PM2400000778")));
    }
    int rows = 0;
    for (int i = 0; i < 90; ++i) {
        rows +=
            pages.join(QString()).count(QStringLiteral("77%1").arg(i, 11, 10, QLatin1Char('0')));
    }
    EXPECT_EQ(rows, 90) << "each line once, none lost at a page break";
    EXPECT_TRUE(pages.last().contains(QStringLiteral("PM2400000778")));
    EXPECT_TRUE(pages.last().contains(QStringLiteral("B02#001")));
    EXPECT_TRUE(pages.last().contains(QStringLiteral("SP-LONG-1")));
}

TEST(PickListFont, AThaiFontIsUsedWhenInstalled) {
    testing_support::guiApp();
    // fonts-thai-tlwg is installed with the build's packages.
    EXPECT_TRUE((QStringList{QStringLiteral("Garuda"), QStringLiteral("Loma")}.contains(
        PickListPrinter::fontFamily())))
        << PickListPrinter::fontFamily().toStdString();
}

// The window: Print previews the stored order on screen, a save previews the order just
// saved, and a new order previews nothing.
class PickListWindow : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::guiApp();
        form_ = std::make_unique<TFrOrderSpecial>();
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    }
    void TearDown() override { form_.reset(); }
    // Answers the next modal window: records its pages when it is the preview.
    void answerPreview() {
        prompts_.answerModal([this](QDialog& dialog) {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(&dialog);
            previewPages_ = -1;
            if (preview != nullptr) {
                if (auto* widget = preview->findChild<QPrintPreviewWidget*>()) {
                    previewPages_ = widget->pageCount();
                }
            }
            return int(QDialog::Rejected);
        });
    }

    testing_support::DemoModules modules_{1, 102};
    ui::ScriptedModalPrompts prompts_;
    ui::ScopedPrompts scope_{prompts_};
    testing_support::ErrorCapture errors_;
    std::unique_ptr<TFrOrderSpecial> form_;
    int previewPages_ = 0;
};

TEST_F(PickListWindow, PrintPreviewsTheStoredOrder) {
    // A new order: nothing stored, nothing to preview.
    form_->AcPrint->trigger();
    EXPECT_TRUE(prompts_.modals().empty());

    form_->EdOrderNo->setText(demoOrder(1));
    form_->EdOrderNoExit();
    ASSERT_FALSE(form_->IsNewOrder);
    answerPreview();
    form_->AcPrint->trigger();
    ASSERT_TRUE(errors_.empty()) << errors_.joined();
    ASSERT_EQ(prompts_.modals().size(), 1u);
    EXPECT_EQ(prompts_.modals()[0].title, QStringLiteral("ใบจัดสินค้า ใบสั่งพิเศษเลขที่ ") + demoOrder(1));
    const orders::PickListSet set = orders::PickLists().read(demoOrder(1));
    EXPECT_EQ(previewPages_, int(set.lists.size())) << "the lists drawn into the preview";
    EXPECT_TRUE(prompts_.texts().isEmpty());
}

TEST_F(PickListWindow, ASavePreviewsTheOrderJustSavedThenStartsAfresh) {
    form_->EdOrderNoExit();
    form_->EdBranchCode->setText(kBranch);
    form_->EdBranchCodeExit();
    const QString barcode = addProduct(1, {{"A01", 50}});
    db::MemTable& lines = form_->QMemOrder;
    lines.last();
    lines.edit();
    lines[QStringLiteral("Barcode")].setValue(barcode);
    form_->BarcodeExit();
    lines.edit();
    lines[QStringLiteral("OrderQnty")].setValue(3);
    lines.post();

    prompts_.answer(true);
    answerPreview();
    form_->AcSave->trigger();
    ASSERT_TRUE(errors_.empty()) << errors_.joined();
    const QString number =
        scalar(QStringLiteral("select OrderNo from TranBranch where BarCode = :p0"), {barcode})
            .toString();
    ASSERT_FALSE(number.isEmpty());
    ASSERT_EQ(prompts_.modals().size(), 1u);
    EXPECT_EQ(prompts_.modals()[0].title, QStringLiteral("ใบจัดสินค้า ใบสั่งพิเศษเลขที่ ") + number);
    EXPECT_EQ(previewPages_, 1);
    EXPECT_TRUE(form_->IsNewOrder) << "a fresh document after the preview";
    EXPECT_TRUE(form_->EdOrderNo->text().isEmpty());

    // The fresh document has nothing to print.
    form_->AcPrint->trigger();
    EXPECT_EQ(prompts_.modals().size(), 1u);
}

} // namespace
