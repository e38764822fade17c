#pragma once

#include "platform/db/Query.h"

#include <QDate>
#include <QString>
#include <vector>

namespace orders {

// One stored row of an order as the picker reads it.
struct PickLine {
    QString barcode;
    QString name;
    QString unit;
    double quantity = 0;
    QString closeOrder;
    QString group; // the stored pick group with its chunk, "A01#001"
};

// The lines one picker walks: those of one picking number, in the save's sort order.
struct PickList {
    enum class Kind {
        Picking,    // the rows of one picking number
        Unassigned, // rows the pick assignment has not reached (no number, not 'B')
        NoStock,    // 'B': nothing at the centre to pick, listed for the record
    };
    Kind kind = Kind::Picking;
    QString pickingNo; // empty unless Picking
    QString group;     // the pick group(s) of its lines, as stored
    std::vector<PickLine> lines;
};

struct PickListSet {
    QString orderNo;
    QDate orderDate;
    QString branchCode;
    QString branchName;
    // The picking numbers in the order their first line sorts, then the unassigned rows,
    // then the rows without stock.
    std::vector<PickList> lists;

    bool isEmpty() const { return lists.empty(); }
};

// Reads a stored special order and groups its rows into pick lists, without any window.
class PickLists {
public:
    PickLists();
    PickLists(const PickLists&) = delete;
    PickLists& operator=(const PickLists&) = delete;

    db::Query QPickLines;

    // The order's pick lists; an empty set when no row carries that number.
    PickListSet read(const QString& orderNo);

    // The save's sort key of a row: its pick group without the chunk, "--", the barcode.
    static QString sortGroup(const QString& storedGroup, const QString& barcode);
};

} // namespace orders
