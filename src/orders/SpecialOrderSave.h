#pragma once

#include "platform/db/Query.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace orders {

class SpecialOrder;

enum class SaveResult {
    Saved,
    NothingToSave, // no line with a barcode and a quantity
    LinesRefused,  // a line no longer passes its checks: its quantity cut, nothing stored
    NumberMissing, // numbers are typed by hand and none was typed
    NumberTaken,   // another workstation stored an order under the typed number meanwhile
    CountMismatch, // fewer rows read back than lines: nothing stored
};

struct SaveReport {
    SaveResult result = SaveResult::NothingToSave;
    QString number;       // the stored order's number
    int lines = 0;        // for CountMismatch: the lines
    int rows = 0;         //   and the rows read back
    QStringList messages; // for LinesRefused: one per refused line, in line order
};

// What the save reports while it runs: the number drawn, and for each row of the pick
// assignment the progress texts (status line, group line; an empty group leaves it).
struct SaveProgress {
    std::function<void(const QString& number)> numbered;
    std::function<void(const QString& status, const QString& group)> step;
};

struct SaveRequest {
    QString branch;      // the order's branch, as typed
    int userId = 0;      // the saving user
    QString typedNumber; // the number typed by hand (numbering by hand only)
    QDateTime orderDate; // the day of saving, without time
};

// Saving a new special order, without any window: the lines of the order's line table
// become transfer rows and are handed to picking (pick groups, picking numbers), all in
// one unit of work.
class SpecialOrderSave {
public:
    explicit SpecialOrderSave(SpecialOrder& order);
    SpecialOrderSave(const SpecialOrderSave&) = delete;
    SpecialOrderSave& operator=(const SpecialOrderSave&) = delete;

    static constexpr int GroupsPerNumber = 20; // sort groups one picking number serves

    db::Query SQLInsert;
    db::Query QTranBranch;
    db::Query SQLUpdateTranBranch;
    db::Query SQLCloseTranBranch;
    db::Query QNumberUsed;

    // Drops the lines without a barcode or a quantity and runs the orderable-quantity check
    // on each of the others; returns the messages of the lines that fail it (their
    // quantities cut). Nothing is written.
    QStringList prepare(const QString& branch);
    int lineCount() const;

    // Stores the lines as transfer rows under a new number and assigns them to picking,
    // all or nothing. Each line is checked again under the write lock first.
    SaveReport save(const SaveRequest& request, const SaveProgress& progress = {});

    // The chunk number as rows carry it: 1 gives "001".
    static QString chunkText(int chunk);

private:
    struct PickRow {
        qint64 id = 0;
        double onhand = 0;
        QString group;
        QString sortGroup;
    };

    QStringList recheck(const QString& branch);
    bool numberUsed(const QString& number);
    void insertLines(const QString& number, const QDateTime& date, const QString& branch);
    std::vector<PickRow> readPickRows(const QString& number, const SaveProgress& progress);
    void fillMemoryPick(const std::vector<PickRow>& rows);
    void assignPicking(const QString& number, const QDateTime& date, int userId,
                       const SaveProgress& progress);

    SpecialOrder& order_;
};

} // namespace orders
