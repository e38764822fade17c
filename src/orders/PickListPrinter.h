#pragma once

#include "orders/PickLists.h"

#include <QString>

class QPagedPaintDevice;

// Draws an order's pick lists onto a printer or PDF writer: each list starts on a page of
// its own and its heading is repeated on every page it runs to, so a loose sheet still
// names its order and picking number.
class PickListPrinter {
public:
    // False when the device could not be drawn on.
    static bool print(const orders::PickListSet& set, QPagedPaintDevice& device);

    // The family the lists are drawn in: an installed font with Thai glyphs, else the
    // application's.
    static QString fontFamily();

    // The heading line that names a list.
    static QString listTitle(const orders::PickList& list);
};
