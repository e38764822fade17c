#pragma once

#include "platform/db/Value.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace db {

class Dataset;

struct FieldDef {
    QString name;
    FieldType type = FieldType::Text;
    int size = 0; // maximum text length; 0 = unlimited
};

// A typed column of a dataset, read and written on the dataset's current row.
class Field {
public:
    Field(Dataset* owner, int index, FieldDef def) : owner_(owner), index_(index), def_(def) {}

    const QString& name() const { return def_.name; }
    FieldType type() const { return def_.type; }
    int size() const { return def_.size; }
    int index() const { return index_; }
    Dataset* dataset() const { return owner_; }

    QVariant value() const;
    QVariant oldValue() const; // the value read when the row was loaded
    bool isNull() const;
    QString asString() const;
    double asFloat() const;   // empty reads as 0
    qint64 asInteger() const; // rounded half to even; empty reads as 0
    QDateTime asDateTime() const;

    // Puts the dataset into edit mode when needed is the caller's job (as with any
    // dataset); setting a value outside Edit or Insert throws.
    void setValue(const QVariant& value);
    void clear() { setValue(QVariant()); }

    QString displayFormat; // e.g. "#,##0.##"; used by grids and edits
    QString editFormat;

private:
    Dataset* owner_;
    int index_;
    FieldDef def_;
};

enum class DatasetState { Inactive, Browse, Edit, Insert };
enum class RowStatus { Unmodified, Modified, Inserted };

struct LocateOptions {
    bool caseInsensitive = false;
    bool partialKey = false;
};

// A cursor over rows of typed fields, held in memory once opened. Derived classes fill
// it (a query from a statement, a memory table from its definitions).
class Dataset : public QObject {
    Q_OBJECT
public:
    using Bookmark = double; // identity of a row, stable across inserts, deletes and sorts

    explicit Dataset(QObject* parent = nullptr);
    ~Dataset() override;

    QString objectNameOr() const;

    void open();
    void close();
    bool isActive() const { return state_ != DatasetState::Inactive; }
    DatasetState state() const { return state_; }

    void first();
    void next();
    void prior();
    void last();
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    int recNo() const { return cur_ + 1; } // 1-based; 0 when empty
    void setRecNo(int recNo);
    // The rows read so far: a query reading a slice at a time may have more to come.
    int recordCount() const { return int(rows_.size()); }
    bool isEmpty() const { return rows_.empty(); }

    void edit();
    void append();
    void insert();
    void post();
    void cancel();
    void deleteRecord();

    // Rows still to be read from the server (a query reading its rows a slice at a time).
    // Moving past the last row read reads more; last() and locate() read them all first.
    bool canFetchMore() const { return isActive() && moreRows(); }
    // Reads up to maxRows further rows, in chunks, stopping early between chunks once
    // budgetMs have passed (0: no limit); returns the number of rows added.
    int fetchMore(int maxRows, int budgetMs = 0);
    void fetchAll();

    bool locate(const QString& fieldName, const QVariant& value, LocateOptions options = {});

    Bookmark bookmark() const;
    bool bookmarkValid(Bookmark b) const;
    void gotoBookmark(Bookmark b);

    // While disabled, no change notifications are sent; one refresh follows the last enable.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return disabled_ > 0; }

    const std::vector<std::unique_ptr<Field>>& fields() const { return fields_; }
    int fieldCount() const { return int(fields_.size()); }
    Field* findField(const QString& name) const;
    Field& fieldByName(const QString& name) const; // throws DbError when missing
    Field& operator[](const QString& name) const { return fieldByName(name); }

    // Access for views (grids): any row without moving the cursor.
    QVariant valueAt(int row, int field) const;
    RowStatus statusAt(int row) const { return rows_.at(row).status; }
    int currentRow() const { return cur_; }

    bool updatesPending() const;
    // Puts rows deleted since they were loaded (and not yet sent) back in their places.
    void restoreDeleted();

signals:
    // Rows read from the server are about to be, and have been, added at the end.
    void rowsAboutToBeAppended(int first, int last);
    void rowsAppended();
    void afterOpen();
    void afterClose();
    void fieldChanged(db::Field* field);
    void rowChanged(int row);
    void layoutChanged();
    void currentChanged(int row);
    void stateChanged();

protected:
    struct Row {
        std::vector<QVariant> values;
        std::vector<QVariant> old;
        RowStatus status = RowStatus::Unmodified;
        Bookmark seq = 0;
    };

    // Fills defs and rows; called by open(). Rows may be left for fetchRows().
    virtual void doOpen(std::vector<FieldDef>& defs, std::vector<Row>& rows) = 0;
    virtual bool moreRows() const { return false; }
    // Up to maxRows of the rows left by doOpen(); fewer only at their end.
    virtual std::vector<Row> fetchRows(int maxRows) {
        Q_UNUSED(maxRows);
        return {};
    }
    virtual void doClose() {}
    // Whether edits are allowed at all, and whether they are kept as pending updates.
    virtual bool modifiable() const = 0;
    virtual bool keepsUpdates() const { return false; }
    // A row's stored values changed: before is null for a row posted the first time, after
    // is null for a deleted row. For indexes kept beside the rows.
    virtual void rowStored(Bookmark, const std::vector<QVariant>*, const std::vector<QVariant>*) {}
    // The rows were replaced as a whole (open, close, deletions put back).
    virtual void rowsReset() {}

    void timerEvent(QTimerEvent* event) override;

    Row makeRow(std::vector<QVariant> values);
    void notifyLayout();
    void ensureBrowse();
    void checkActive() const;
    QVariant storeValue(const Field& field, const QVariant& value) const;

    std::vector<FieldDef> defs_;
    std::vector<std::unique_ptr<Field>> fields_;
    std::vector<Row> rows_;
    std::vector<Row> deleted_; // pending deletions of cached updates
    int generation_ = 0;       // bumped on every open and close
    // Rows stand in bookmark order (new rows get numbers between their neighbours'), so a
    // bookmark is found by bisection; a sort on a field ends that until the next open.
    bool seqOrdered_ = true;

private:
    friend class Field;
    friend class Query;
    friend class MemTable;

    const std::vector<QVariant>* currentValues() const;
    void setFieldValue(Field& field, const QVariant& value);
    void addRow(int position);
    Bookmark nextSeq(int position);
    Bookmark seqBetween(int position) const; // 0 when no number is left between the neighbours
    void renumber();
    int positionOf(Bookmark b) const; // -1 when no row has it

    std::vector<std::vector<Row>> retired_; // rows of earlier closes, freed between events
    int retireTimer_ = 0;
    DatasetState state_ = DatasetState::Inactive;
    int cur_ = -1;
    bool eof_ = true;
    bool bof_ = true;
    Row buffer_;
    int disabled_ = 0;
    bool assigned_ = false; // a field was set since edit() began
    bool pendingRefresh_ = false;
    Bookmark seqCounter_ = 0;
    Bookmark highestSeq_ = 0; // the highest number any row was given since the last open
};

} // namespace db
