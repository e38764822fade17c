// Suggested share quantities: the min/max rule, packs and sharing out short stock.
#include "orders/Fr_OrderShere.h"
#include "orders/Suggest.h"
#include "platform/ui/Modal.h"
#include "support/DemoModules.h"
#include "support/GuiApp.h"
#include "support/Statements.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <numeric>

namespace {

TEST(Suggest, MinMaxRule) {
    const struct {
        const char* name;
        orders::BranchFigures f;
        qint64 need;
    } cases[] = {
        {"at the minimum: up to the maximum", {5, 0, 0, 5, 20}, 15},
        {"below it, goods on the way and back orders count", {1, 2, 1, 5, 20}, 16},
        {"above the minimum: no need", {6, 0, 0, 5, 20}, 0},
        {"no maximum: no need", {0, 0, 0, 0, 0}, 0},
        {"covered beyond the maximum: no need", {0, 30, 0, 40, 20}, 0},
        {"a fraction of a unit short: one unit", {4.5, 0, 0, 5, 5}, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(orders::needOf(c.f), c.need) << c.name;
    }
}

TEST(Suggest, SharingOutShortStock) {
    const struct {
        const char* name;
        std::vector<double> quantities;
        double pack;
        double available;
        std::vector<double> expected;
    } cases[] = {
        {"fits: as they are", {24, 12, 0}, 12, 36, {24, 12, 0}},
        {"no stock", {24, 12}, 12, 0, {0, 0}},
        {"in proportion, whole packs", {48, 24, 24}, 12, 48, {24, 12, 12}},
        // Shares 1.5, 1.0 and 0.5 packs: the tie of halves goes to the larger quantity.
        {"largest remainders get the last packs", {36, 24, 12}, 12, 36, {24, 12, 0}},
        // Shares 0.4, 0.4, 0.4 and 0.8 packs: 0.8 first, then the earliest of the equals.
        {"ties: the larger quantity, then the earlier branch",
         {12, 12, 12, 24},
         12,
         24,
         {12, 0, 0, 12}},
        {"ties between equals: the earlier branch", {12, 12, 12}, 12, 24, {12, 12, 0}},
        {"never more than a branch's quantity", {10, 100}, 1, 50, {5, 45}},
        {"stock not a whole number of packs", {24, 24}, 12, 35, {12, 12}},
        {"no pack size: units", {3, 1}, 0, 2, {2, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<double> shared = orders::prorate(c.quantities, c.pack, c.available);
        EXPECT_EQ(shared, c.expected);
        EXPECT_LE(std::accumulate(shared.begin(), shared.end(), 0.0), c.available);
        for (std::size_t i = 0; i < shared.size(); ++i) {
            EXPECT_LE(shared[i], c.quantities[i]);
        }
    }
}

// Through the window on the demo server: the rows' own figures, packs of 12, no notices.
TEST(SuggestWindow, FillsTheBranchesFromTheirFiguresWithoutNotices) {
    testing_support::guiApp();
    testing_support::DemoModules modules;
    ui::ScriptedModalPrompts prompts;
    ui::ScopedPrompts scope(prompts);
    testing_support::ErrorCapture errors;
    TFrOrderShere form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_FALSE(form.AcSuggest->isEnabled()) << "no product yet";
    form.EdOrderNOExit();
    QTest::keyClicks(form.EdBarcode, QStringLiteral("8850000000102"));
    form.EdBarcodeExit();
    ASSERT_TRUE(form.AcSuggest->isEnabled());

    // Two branches below their minimum, one above it; the rest have no levels.
    db::Query& rows = form.QDt;
    auto set = [&rows](int row, double onhand, double backOrder, double min, double max) {
        rows.setRecNo(row + 1);
        rows.edit();
        rows[QStringLiteral("OnhandBranch")].setValue(onhand);
        rows[QStringLiteral("ProductRoute")].setValue(0);
        rows[QStringLiteral("BackOrder")].setValue(backOrder);
        rows[QStringLiteral("MinQnty")].setValue(min);
        rows[QStringLiteral("MaxQnty")].setValue(max);
        rows.post();
    };
    rows.disableControls();
    for (int r = 0; r < rows.recordCount(); ++r) {
        set(r, 0, 0, 0, 0);
    }
    set(0, 2, 1, 5, 20);  // needs 17: 24 in packs of 12
    set(1, 0, 0, 10, 30); // needs 30: 36
    set(2, 11, 0, 10, 30);
    rows.enableControls();

    QTest::keyClick(&form, Qt::Key_F7);
    auto qty = [&rows](int row) {
        return rows.valueAt(row, rows.fieldByName(QStringLiteral("OrderQnty")).index()).toDouble();
    };
    EXPECT_EQ(qty(0), 24);
    EXPECT_EQ(qty(1), 36);
    EXPECT_EQ(qty(2), 0);
    EXPECT_EQ(form.quantityTotal(), 60);
    EXPECT_TRUE(prompts.texts().isEmpty()) << "no back-order notice for suggested values";
    EXPECT_TRUE(errors.empty()) << errors.joined();
}

} // namespace
