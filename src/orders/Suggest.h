#pragma once

#include <QtGlobal>
#include <vector>

namespace orders {

// A branch's figures for a product, as the share order's rows hold them.
struct BranchFigures {
    double onhandBranch = 0;
    double productRoute = 0; // on its way to the branch
    double backOrder = 0;    // ordered, not yet sent
    double minQnty = 0;
    double maxQnty = 0;
};

// The min/max rule: a branch with a maximum whose stock, goods on the way and back orders
// have fallen to its minimum needs what brings it back up to the maximum; any other none.
qint64 needOf(const BranchFigures& f);

// Shares the available stock out over the branches' quantities (each already rounded up to
// the picking multiple) in proportion to them, in whole packs: every branch first gets the
// whole packs of its share, then the packs left go one each to the largest remainders (on a
// tie, the larger quantity, then the earlier branch). The total never exceeds the stock and
// no branch gets more than its quantity. Quantities that fit the stock stay as they are.
std::vector<double> prorate(const std::vector<double>& quantities, double pack, double available);

} // namespace orders
