#include "platform/db/Dataset.h"

#include "platform/db/DbError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimerEvent>
#include <algorithm>
#include <cmath>
#include <exception>
#include <iterator>
#include <limits>

namespace db {

namespace {
constexpr int kNextSlice = 256; // rows read when next() passes the last row read
} // namespace

// ---- Field ----------------------------------------------------------------------------

QVariant Field::value() const {
    const std::vector<QVariant>* values = owner_->currentValues();
    return values ? (*values)[index_] : QVariant();
}

QVariant Field::oldValue() const {
    if (owner_->cur_ < 0 || owner_->cur_ >= int(owner_->rows_.size())) {
        return {};
    }
    const Dataset::Row& row = owner_->rows_[owner_->cur_];
    // Rows read later into a dataset that cannot change keep no copy: they are as loaded.
    const auto& old = row.old.empty() && !owner_->modifiable() ? row.values : row.old;
    return index_ < int(old.size()) ? old[index_] : QVariant();
}

bool Field::isNull() const {
    const QVariant v = value();
    return v.isNull() || !v.isValid();
}

QString Field::asString() const {
    return variantToText(value());
}
double Field::asFloat() const {
    return variantToDouble(value());
}
qint64 Field::asInteger() const {
    return variantToInteger(value());
}
QDateTime Field::asDateTime() const {
    return variantToDateTime(value());
}

void Field::setValue(const QVariant& value) {
    owner_->setFieldValue(*this, value);
}

// ---- Dataset --------------------------------------------------------------------------

Dataset::Dataset(QObject* parent) : QObject(parent) {}
Dataset::~Dataset() = default;

void Dataset::timerEvent(QTimerEvent* event) {
    if (event->timerId() != retireTimer_) {
        QObject::timerEvent(event);
        return;
    }
    // Freed a part at a time, so no slice of the next list waits long.
    constexpr size_t kFreedAtOnce = 16384;
    if (!retired_.empty()) {
        std::vector<Row>& rows = retired_.back();
        rows.resize(rows.size() > kFreedAtOnce ? rows.size() - kFreedAtOnce : 0);
        if (rows.empty()) {
            retired_.pop_back();
        }
    }
    if (retired_.empty()) {
        killTimer(retireTimer_);
        retireTimer_ = 0;
    }
}

QString Dataset::objectNameOr() const {
    return objectName().isEmpty() ? QStringLiteral("dataset") : objectName();
}

void Dataset::checkActive() const {
    if (state_ == DatasetState::Inactive) {
        throw DbError(QStringLiteral("%1: Cannot perform this operation on a closed dataset")
                          .arg(objectNameOr()),
                      objectNameOr());
    }
}

void Dataset::open() {
    if (isActive()) {
        return;
    }
    std::vector<FieldDef> defs;
    std::vector<Row> rows;
    doOpen(defs, rows);
    defs_ = std::move(defs);
    fields_.clear();
    for (int i = 0; i < int(defs_.size()); ++i) {
        fields_.push_back(std::make_unique<Field>(this, i, defs_[i]));
    }
    rows_ = std::move(rows);
    seqCounter_ = 0;
    for (Row& r : rows_) {
        r.seq = ++seqCounter_;
        r.old = r.values;
    }
    highestSeq_ = seqCounter_;
    deleted_.clear();
    seqOrdered_ = true;
    ++generation_;
    state_ = DatasetState::Browse;
    cur_ = rows_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = rows_.empty();
    rowsReset();
    notifyLayout();
    emit afterOpen();
}

int Dataset::fetchMore(int maxRows, int budgetMs) {
    if (!canFetchMore() || maxRows <= 0) {
        return 0;
    }
    QElapsedTimer clock;
    clock.start();
    std::vector<Row> fetched;
    // Small chunks first: a sparse result may take a long scan for each row, and the rows
    // found so far should not wait for it.
    int chunk = 1;
    std::exception_ptr failure;
    try {
        while (int(fetched.size()) < maxRows && moreRows()) {
            std::vector<Row> part = fetchRows(std::min(chunk, maxRows - int(fetched.size())));
            std::move(part.begin(), part.end(), std::back_inserter(fetched));
            chunk = std::min(chunk * 2, budgetMs > 0 ? 256 : 4096);
            if (budgetMs > 0 && !fetched.empty() && clock.elapsed() >= budgetMs) {
                break;
            }
        }
    } catch (...) {
        failure = std::current_exception(); // the rows read before it still join the list
    }
    if (fetched.empty()) {
        if (failure) {
            std::rethrow_exception(failure);
        }
        return 0;
    }
    const int first = int(rows_.size());
    const int last = first + int(fetched.size()) - 1;
    if (!disabled_) {
        emit rowsAboutToBeAppended(first, last);
    }
    rows_.reserve(rows_.size() + fetched.size());
    const bool keepOld = modifiable();
    for (Row& r : fetched) {
        r.seq = std::floor(highestSeq_) + 1;
        highestSeq_ = r.seq;
        if (keepOld) {
            r.old = r.values;
        }
        rows_.push_back(std::move(r));
    }
    if (cur_ < 0 && state_ == DatasetState::Browse) {
        cur_ = 0;
        eof_ = false;
    }
    if (disabled_) {
        pendingRefresh_ = true;
    } else {
        emit rowsAppended();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    return int(fetched.size());
}

void Dataset::fetchAll() {
    while (canFetchMore()) {
        fetchMore(std::numeric_limits<int>::max());
    }
}

void Dataset::close() {
    if (!isActive()) {
        return;
    }
    doClose();
    state_ = DatasetState::Inactive;
    // A long list takes a while to free: that waits until pending events (the next search's
    // first rows among them) are handled. Without an event loop the next close frees it.
    // At most one list waits: a close soon after another frees the earlier one now.
    retired_.clear();
    const QCoreApplication* app = QCoreApplication::instance();
    if (!rows_.empty() && app != nullptr && thread() == app->thread()) {
        retired_.push_back(std::move(rows_));
        if (retireTimer_ == 0) {
            retireTimer_ = startTimer(0); // a timer: it runs after the posted events (the paint)
        }
    }
    rows_.clear();
    deleted_.clear();
    buffer_ = Row{};
    cur_ = -1;
    bof_ = eof_ = true;
    ++generation_;
    rowsReset();
    notifyLayout();
    emit afterClose();
}

void Dataset::notifyLayout() {
    if (disabled_ > 0) {
        pendingRefresh_ = true;
        return;
    }
    emit layoutChanged();
    emit currentChanged(cur_);
}

void Dataset::ensureBrowse() {
    checkActive();
    if (state_ == DatasetState::Edit || state_ == DatasetState::Insert) {
        post();
    }
}

void Dataset::first() {
    ensureBrowse();
    cur_ = rows_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = rows_.empty();
    if (!disabled_) {
        emit currentChanged(cur_);
    }
}

void Dataset::last() {
    ensureBrowse();
    fetchAll();
    cur_ = int(rows_.size()) - 1;
    eof_ = true;
    bof_ = rows_.empty();
    if (!disabled_) {
        emit currentChanged(cur_);
    }
}

void Dataset::next() {
    ensureBrowse();
    if (cur_ + 1 >= int(rows_.size()) && canFetchMore()) {
        fetchMore(kNextSlice);
    }
    if (cur_ + 1 < int(rows_.size())) {
        ++cur_;
        bof_ = false;
        if (!disabled_) {
            emit currentChanged(cur_);
        }
    } else {
        eof_ = true;
    }
}

void Dataset::prior() {
    ensureBrowse();
    if (cur_ > 0) {
        --cur_;
        eof_ = false;
        if (!disabled_) {
            emit currentChanged(cur_);
        }
    } else {
        bof_ = true;
    }
}

void Dataset::setRecNo(int recNo) {
    ensureBrowse();
    while (recNo > int(rows_.size()) && canFetchMore()) {
        fetchMore(recNo - int(rows_.size()));
    }
    if (recNo < 1 || recNo > int(rows_.size())) {
        return;
    }
    cur_ = recNo - 1;
    bof_ = eof_ = false;
    if (!disabled_) {
        emit currentChanged(cur_);
    }
}

const std::vector<QVariant>* Dataset::currentValues() const {
    if (state_ == DatasetState::Edit || state_ == DatasetState::Insert) {
        return &buffer_.values;
    }
    if (cur_ < 0 || cur_ >= int(rows_.size())) {
        return nullptr;
    }
    return &rows_[cur_].values;
}

QVariant Dataset::valueAt(int row, int field) const {
    if ((state_ == DatasetState::Edit || state_ == DatasetState::Insert) && row == cur_) {
        return buffer_.values[field];
    }
    return rows_.at(row).values.at(field);
}

Dataset::Row Dataset::makeRow(std::vector<QVariant> values) {
    Row r;
    r.values = std::move(values);
    r.values.resize(defs_.size());
    return r;
}

void Dataset::renumber() {
    std::vector<Row*> all;
    for (Row& r : rows_) {
        all.push_back(&r);
    }
    for (Row& r : deleted_) {
        all.push_back(&r);
    }
    std::sort(all.begin(), all.end(), [](const Row* a, const Row* b) { return a->seq < b->seq; });
    Bookmark next = 0;
    for (Row* r : all) {
        r->seq = ++next;
    }
    highestSeq_ = next;
    rowsReset(); // every bookmark changed
}

Dataset::Bookmark Dataset::nextSeq(int position) {
    const Bookmark seq = seqBetween(position);
    if (seq > 0) {
        return seq;
    }
    // Inserts at one place used up the room between two numbers: number the rows afresh.
    renumber();
    return seqBetween(position);
}

Dataset::Bookmark Dataset::seqBetween(int position) const {
    // Between the neighbours' sequence numbers, so that pending updates keep row order.
    const Bookmark before = position > 0 ? rows_[position - 1].seq : 0;
    if (position >= int(rows_.size())) {
        return std::floor(std::max(before, highestSeq_)) + 1; // above every number given out
    }
    // A row deleted from this gap keeps its place among the pending updates; the new row
    // goes after it, so the delete is sent first and the two never share a number.
    const Bookmark after = rows_[position].seq;
    Bookmark lower = before;
    for (const Row& r : deleted_) {
        if (r.seq > lower && r.seq < after) {
            lower = r.seq;
        }
    }
    const Bookmark mid = (lower + after) / 2;
    return mid > lower && mid < after ? mid : 0;
}

void Dataset::addRow(int position) {
    checkActive();
    if (!modifiable()) {
        throw DbError(QStringLiteral("%1: Cannot modify a read-only dataset").arg(objectNameOr()),
                      objectNameOr());
    }
    ensureBrowse();
    Row r = makeRow({});
    r.status = RowStatus::Inserted;
    r.old.assign(defs_.size(), QVariant());
    r.seq = nextSeq(position);
    highestSeq_ = std::max(highestSeq_, r.seq);
    rows_.insert(rows_.begin() + position, r);
    cur_ = position;
    bof_ = eof_ = false;
    buffer_ = r;
    state_ = DatasetState::Insert;
    notifyLayout();
    if (!disabled_) {
        emit stateChanged();
    }
}

void Dataset::append() {
    addRow(int(rows_.size()));
}

void Dataset::insert() {
    addRow(cur_ < 0 ? 0 : cur_);
}

void Dataset::edit() {
    checkActive();
    if (state_ == DatasetState::Edit || state_ == DatasetState::Insert) {
        return;
    }
    if (rows_.empty()) {
        append(); // editing an empty dataset starts a new row
        return;
    }
    if (!modifiable()) {
        throw DbError(QStringLiteral("%1: Cannot modify a read-only dataset").arg(objectNameOr()),
                      objectNameOr());
    }
    buffer_ = rows_[cur_];
    assigned_ = false;
    state_ = DatasetState::Edit;
    if (!disabled_) {
        emit stateChanged();
    }
}

void Dataset::post() {
    checkActive();
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert) {
        return;
    }
    Row& row = rows_[cur_];
    const bool firstPost = state_ == DatasetState::Insert;
    std::vector<QVariant> before = firstPost ? std::vector<QVariant>{} : row.values;
    row.values = buffer_.values;
    rowStored(row.seq, firstPost ? nullptr : &before, &row.values);
    // A row whose fields were assigned is sent again, even with the values it had: the
    // update statement may write more than what changed.
    if (state_ == DatasetState::Edit && row.status == RowStatus::Unmodified &&
        (assigned_ || row.values != row.old)) {
        row.status = RowStatus::Modified;
    }
    assigned_ = false;
    state_ = DatasetState::Browse;
    if (!disabled_) {
        emit rowChanged(cur_);
        emit stateChanged();
    }
}

void Dataset::cancel() {
    checkActive();
    if (state_ == DatasetState::Insert) {
        rows_.erase(rows_.begin() + cur_);
        cur_ = std::min(cur_, int(rows_.size()) - 1);
        state_ = DatasetState::Browse;
        eof_ = rows_.empty();
        notifyLayout();
    } else if (state_ == DatasetState::Edit) {
        state_ = DatasetState::Browse;
        if (!disabled_) {
            emit rowChanged(cur_);
        }
    }
    if (!disabled_) {
        emit stateChanged();
    }
}

void Dataset::deleteRecord() {
    checkActive();
    if (state_ == DatasetState::Insert) {
        cancel();
        return;
    }
    if (rows_.empty()) {
        throw DbError(QStringLiteral("%1: Cannot perform this operation on an empty dataset")
                          .arg(objectNameOr()),
                      objectNameOr());
    }
    if (!modifiable()) {
        throw DbError(QStringLiteral("%1: Cannot modify a read-only dataset").arg(objectNameOr()),
                      objectNameOr());
    }
    state_ = DatasetState::Browse;
    Row removed = rows_[cur_];
    rows_.erase(rows_.begin() + cur_);
    rowStored(removed.seq, &removed.values, nullptr);
    if (keepsUpdates() && removed.status != RowStatus::Inserted) {
        deleted_.push_back(std::move(removed));
    }
    if (cur_ >= int(rows_.size())) {
        cur_ = int(rows_.size()) - 1;
        eof_ = true;
    }
    notifyLayout();
}

QVariant Dataset::storeValue(const Field& field, const QVariant& value) const {
    QVariant v = convertTo(value, field.type());
    if (field.type() == FieldType::Text && field.size() > 0 && !v.isNull()) {
        const QString s = v.toString();
        if (s.size() > field.size()) {
            v = s.left(field.size()); // text longer than the field is cut
        }
    }
    return v;
}

void Dataset::setFieldValue(Field& field, const QVariant& value) {
    checkActive();
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert) {
        throw DbError(QStringLiteral("%1: Dataset not in edit or insert mode").arg(objectNameOr()),
                      objectNameOr());
    }
    buffer_.values[field.index()] = storeValue(field, value);
    assigned_ = true;
    if (!disabled_) {
        emit rowChanged(cur_);
        emit fieldChanged(&field);
    }
}

bool Dataset::locate(const QString& fieldName, const QVariant& value, LocateOptions options) {
    ensureBrowse();
    fetchAll();
    const Field& f = fieldByName(fieldName);
    const QString wanted = variantToText(value);
    const auto cs = options.caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (int i = 0; i < int(rows_.size()); ++i) {
        const QVariant& v = rows_[i].values[f.index()];
        bool match;
        if (f.type() == FieldType::Text || options.partialKey) {
            const QString s = variantToText(v);
            match = options.partialKey ? s.startsWith(wanted, cs) : s.compare(wanted, cs) == 0;
        } else if (v.isNull() || value.isNull()) {
            match = v.isNull() && value.isNull();
        } else if (f.type() == FieldType::DateTime) {
            match = variantToDateTime(v) == variantToDateTime(value);
        } else {
            match = variantToDouble(v) == variantToDouble(value);
        }
        if (match) {
            cur_ = i;
            bof_ = eof_ = false;
            if (!disabled_) {
                emit currentChanged(cur_);
            }
            return true;
        }
    }
    return false;
}

Dataset::Bookmark Dataset::bookmark() const {
    return cur_ >= 0 && cur_ < int(rows_.size()) ? rows_[cur_].seq : 0;
}

int Dataset::positionOf(Bookmark b) const {
    if (seqOrdered_) {
        const auto it = std::lower_bound(rows_.begin(), rows_.end(), b,
                                         [](const Row& r, Bookmark seq) { return r.seq < seq; });
        return it != rows_.end() && it->seq == b ? int(it - rows_.begin()) : -1;
    }
    const auto it =
        std::find_if(rows_.begin(), rows_.end(), [b](const Row& r) { return r.seq == b; });
    return it != rows_.end() ? int(it - rows_.begin()) : -1;
}

bool Dataset::bookmarkValid(Bookmark b) const {
    return positionOf(b) >= 0;
}

void Dataset::gotoBookmark(Bookmark b) {
    ensureBrowse();
    const int i = positionOf(b);
    if (i < 0) {
        throw DbError(QStringLiteral("%1: Record not found").arg(objectNameOr()), objectNameOr());
    }
    cur_ = i;
    bof_ = eof_ = false;
    if (!disabled_) {
        emit currentChanged(cur_);
    }
}

void Dataset::disableControls() {
    ++disabled_;
}

void Dataset::enableControls() {
    if (disabled_ > 0 && --disabled_ == 0 && pendingRefresh_) {
        pendingRefresh_ = false;
    }
    if (disabled_ == 0) {
        emit layoutChanged();
        emit currentChanged(cur_);
    }
}

Field* Dataset::findField(const QString& name) const {
    for (const auto& f : fields_) {
        if (f->name().compare(name, Qt::CaseInsensitive) == 0) {
            return f.get();
        }
    }
    return nullptr;
}

Field& Dataset::fieldByName(const QString& name) const {
    if (Field* f = findField(name)) {
        return *f;
    }
    throw DbError(QStringLiteral("%1: Field '%2' not found").arg(objectNameOr(), name),
                  objectNameOr());
}

void Dataset::restoreDeleted() {
    ensureBrowse();
    if (deleted_.empty()) {
        return;
    }
    for (Row& r : deleted_) {
        rows_.push_back(std::move(r));
    }
    deleted_.clear();
    std::stable_sort(rows_.begin(), rows_.end(),
                     [](const Row& a, const Row& b) { return a.seq < b.seq; });
    seqOrdered_ = true;
    rowsReset();
    cur_ = rows_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = rows_.empty();
    notifyLayout();
}

bool Dataset::updatesPending() const {
    if (!deleted_.empty()) {
        return true;
    }
    return std::any_of(rows_.begin(), rows_.end(),
                       [](const Row& r) { return r.status != RowStatus::Unmodified; });
}

} // namespace db
