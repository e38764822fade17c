#include "orders/Suggest.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace orders {

qint64 needOf(const BranchFigures& f) {
    const double covered = f.onhandBranch + f.productRoute + f.backOrder;
    if (f.maxQnty <= 0 || covered > f.minQnty) {
        return 0;
    }
    const double need = f.maxQnty - covered;
    return need > 0 ? qint64(std::ceil(need)) : 0;
}

std::vector<double> prorate(const std::vector<double>& quantities, double pack, double available) {
    const double total = std::accumulate(quantities.begin(), quantities.end(), 0.0);
    if (total <= available) {
        return quantities;
    }
    const double unit = pack > 0 ? pack : 1;
    std::vector<double> shared(quantities.size(), 0);
    const qint64 packs = available > 0 ? qint64(std::floor(available / unit + 1e-9)) : 0;
    if (packs <= 0) {
        return shared;
    }
    struct Share {
        std::size_t branch;
        qint64 whole;
        qint64 most; // whole packs within the branch's quantity
        double remainder;
    };
    std::vector<Share> shares;
    qint64 given = 0;
    for (std::size_t i = 0; i < quantities.size(); ++i) {
        if (quantities[i] <= 0) {
            continue;
        }
        const double exact = double(packs) * quantities[i] / total;
        const qint64 most = qint64(std::floor(quantities[i] / unit + 1e-9));
        const qint64 whole = std::min(most, qint64(std::floor(exact)));
        shares.push_back({i, whole, most, exact - double(whole)});
        given += whole;
    }
    std::stable_sort(shares.begin(), shares.end(), [&](const Share& a, const Share& b) {
        if (a.remainder != b.remainder) {
            return a.remainder > b.remainder;
        }
        return quantities[a.branch] > quantities[b.branch];
    });
    for (Share& s : shares) {
        if (given >= packs) {
            break;
        }
        if (s.whole < s.most) {
            ++s.whole;
            ++given;
        }
    }
    for (const Share& s : shares) {
        shared[s.branch] = double(s.whole) * unit;
    }
    return shared;
}

} // namespace orders
