#pragma once

#include <QString>
#include <vector>

namespace testing_support {

// Stock of a product at the distribution centre, in one picking zone.
struct ZoneStock {
    QString zone;
    double onhand;
};

// Adds a product of a test's own to the demo company (the company database and NVK alike):
// one smallest unit whose barcode is returned, with a picking multiple and stock rows.
// n tells products apart; negative "Y" lets its stock go below zero.
QString addProduct(int n, const std::vector<ZoneStock>& stock, const QString& negative = "Y",
                   double pack = 1);

} // namespace testing_support
