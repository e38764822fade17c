// The database layer on the embedded server, beyond the contract every engine holds (in
// test_db_contract.cpp, run on each engine): statement texts and their named parameters,
// queries with cached updates, memory tables, number reading, the decimal helpers, the
// embedded server's files, error wording, the catalogue, the numbering procedure under
// concurrent use and connection opening.

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Decimal.h"
#include "platform/db/MemTable.h"
#include "platform/db/Query.h"
#include "platform/db/Script.h"
#include "platform/db/SqlText.h"
#include "platform/db/SqliteProcedures.h"
#include "platform/db/Value.h"
#include "support/DbChecks.h"
#include "support/TempServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <utility>

static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

using testing_support::Bindings;
using testing_support::Rows;
using testing_support::str;
using testing_support::TempServer;

// The message of the DbError the call throws; empty when it throws none.
template <typename F> QString dbErrorOf(F&& call) {
    try {
        call();
    } catch (const db::DbError& e) {
        return e.message().isEmpty() ? QStringLiteral("<empty message>") : e.message();
    }
    return {};
}

// A server with the company database NVKDC (the one connected to), its sibling NVK and the
// configuration database, and the connection "Main" on NVKDC.
class DbLayer : public ::testing::Test {
protected:
    void SetUp() override { main_ = server_.connect(QStringLiteral("Main"), "NVKDC"); }

    std::unique_ptr<db::Query> query(const QString& sql, const Bindings& bindings = {},
                                     const QString& connection = QStringLiteral("Main")) {
        auto q = std::make_unique<db::Query>(connection, db::SqlSource(sql));
        for (const auto& [name, value] : bindings) {
            q->paramByName(name).setValue(value);
        }
        return q;
    }
    // Opens a select; a DbError fails the test with its message.
    std::unique_ptr<db::Query> open(const QString& sql, const Bindings& bindings = {},
                                    const QString& connection = QStringLiteral("Main")) {
        auto q = query(sql, bindings, connection);
        EXPECT_NO_DB_ERROR(q->open());
        return q;
    }
    qint64 exec(const QString& sql, const Bindings& bindings = {}) {
        qint64 affected = -1;
        EXPECT_NO_DB_ERROR(affected = query(sql, bindings)->execSQL());
        return affected;
    }

    TempServer server_;
    std::unique_ptr<db::Connection> main_;
};

// ---- named parameters ---------------------------------------------------------------------

TEST(SqlTextParameters, OnlyColonNamesInCodeAreParameters) {
    const struct {
        const char* sql;
        QStringList names;
    } cases[] = {
        {"select :a, :b, :A, :B", {"a", "b"}},
        {"select 'a:b', :real", {"real"}},
        {"select 'it''s :x', :y", {"y"}},
        {"select \"odd:name\", [also:odd], :z", {"z"}},
        {"select 1 -- :x\n, :after", {"after"}},
        {"select /* :y\n :w */ :v", {"v"}},
        {"select x::int, :n", {"n"}},
        {"select :_under1, ':', :", {"_under1"}},
        {"select 'unterminated :q", {}},
    };
    for (const auto& c : cases) {
        const db::SqlText text(QString::fromUtf8(c.sql));
        EXPECT_EQ(text.parameterNames(), c.names) << c.sql;
        QStringList occurrences;
        const QString positional = text.positional(&occurrences);
        EXPECT_EQ(positional.count(QLatin1Char('?')), occurrences.size()) << c.sql;
    }
    // Literals, comments and "::" reach the server untouched.
    const db::SqlText text(QStringLiteral("select 'a:b' /* :y */, x::int -- :x\n, :p"));
    EXPECT_EQ(text.positional(nullptr), QStringLiteral("select 'a:b' /* :y */, x::int -- :x\n, ?"));
}

TEST_F(DbLayer, ParameterTypesRoundTrip) {
    server_.exec("NVKDC", "create table Typed(Id INTEGER PRIMARY KEY, T VARCHAR(40), I INTEGER, "
                          "F FLOAT, D DATETIME)");
    const QDateTime when(QDate(2024, 2, 29), QTime(13, 45, 7, 123));
    const QDateTime midnight(QDate(2024, 3, 7), QTime(0, 0));
    const char* insert = "insert into Typed(Id, T, I, F, D) values (:Id, :T, :I, :F, :D)";
    exec(insert, {{"Id", 1},
                  {"T", QStringLiteral("text")},
                  {"I", QVariant::fromValue<qint64>(9007199254740993LL)},
                  {"F", 2.25},
                  {"D", when}});
    exec(insert, {{"Id", 2}, {"T", {}}, {"I", {}}, {"F", {}}, {"D", {}}});
    exec(insert, {{"Id", 3}, {"T", ""}, {"I", 0}, {"F", 0.0}, {"D", midnight}});

    // Each value reaches the server with its own storage class.
    EXPECT_EQ(server_.rows("NVKDC", "select typeof(T), typeof(I), typeof(F), typeof(D), D "
                                    "from Typed order by Id"),
              (Rows{"text|integer|real|text|2024-02-29 13:45:07.123", "null|null|null|null|NULL",
                    "text|integer|real|text|2024-03-07 00:00:00.000"}));

    auto q = open(QStringLiteral("select T, I, F, D from Typed order by Id"));
    ASSERT_EQ(q->recordCount(), 3);
    EXPECT_EQ(q->fieldByName("T").type(), db::FieldType::Text);
    EXPECT_EQ(q->fieldByName("I").type(), db::FieldType::Integer);
    EXPECT_EQ(q->fieldByName("F").type(), db::FieldType::Float);
    EXPECT_EQ(q->fieldByName("D").type(), db::FieldType::DateTime);
    EXPECT_EQ(q->fieldByName("T").size(), 40);

    EXPECT_EQ(q->fieldByName("T").asString(), QStringLiteral("text"));
    EXPECT_EQ(q->fieldByName("I").asInteger(), 9007199254740993LL);
    EXPECT_EQ(q->fieldByName("F").asFloat(), 2.25);
    EXPECT_EQ(q->fieldByName("D").asDateTime(), when);

    q->next();
    for (const char* f : {"T", "I", "F", "D"}) {
        EXPECT_TRUE(q->fieldByName(f).isNull()) << f;
    }
    EXPECT_EQ(q->fieldByName("I").asInteger(), 0);
    EXPECT_EQ(q->fieldByName("F").asFloat(), 0.0);
    EXPECT_FALSE(q->fieldByName("D").asDateTime().isValid());

    q->next();
    EXPECT_FALSE(q->fieldByName("T").isNull());
    EXPECT_EQ(q->fieldByName("D").asString(), QStringLiteral("07/03/2024"));

    // A date-time parameter also compares with what was stored.
    auto found = open(QStringLiteral("select Id from Typed where D = :D"), {{"D", when}});
    EXPECT_EQ(found->recordCount(), 1);
}

// ---- cached updates -----------------------------------------------------------------------

// Items 1..3 read by a cached query. Every update counts its sends in Sends, so a row
// sent twice or not at all shows.
class CachedUpdates : public DbLayer {
protected:
    void SetUp() override {
        DbLayer::SetUp();
        server_.exec("NVKDC", "create table Item(Id INTEGER PRIMARY KEY, Name VARCHAR(20), "
                              "Price FLOAT NOT NULL, Sends INTEGER NOT NULL DEFAULT 0);"
                              "insert into Item(Id, Name, Price) values (1, 'a', 1), (2, 'b', 2), "
                              "(3, 'c', 3)");
        update_.modifySql = "update Item set Id = :Id, Name = :Name, Price = :Price, "
                            "Sends = Sends + 1 where Id = :OLD_Id";
        update_.insertSql = "insert into Item(Id, Name, Price, Sends) values (:Id, :Name, "
                            ":Price, 1)";
        update_.deleteSql = "delete from Item where Id = :OLD_Id";
        items_ = cachedItems();
    }

    std::unique_ptr<db::Query> cachedItems() {
        auto q = query(QStringLiteral("select Id, Name, Price from Item order by Id"));
        q->setObjectName(QStringLiteral("qryItem"));
        q->setCachedUpdates(true);
        q->setUpdateObject(&update_);
        EXPECT_NO_DB_ERROR(q->open());
        return q;
    }

    Rows stored() const {
        return server_.rows("NVKDC", "select Id, Name, Price, Sends from Item order by Id");
    }

    void setRow(db::Query& q, int id, const QString& name, const QVariant& price) {
        q.fieldByName("Id").setValue(id);
        q.fieldByName("Name").setValue(name);
        q.fieldByName("Price").setValue(price);
        q.post();
    }

    void editPrice(db::Query& q, int id, const QVariant& price) {
        ASSERT_TRUE(q.locate("Id", id)) << id;
        q.edit();
        q.fieldByName("Price").setValue(price);
        q.post();
    }

    // One letter a row: Unmodified, Modified, Inserted.
    std::string statuses(const db::Query& q) const {
        std::string out;
        for (int r = 0; r < q.recordCount(); ++r) {
            out += "UMI"[int(q.statusAt(r))];
        }
        return out;
    }

    db::UpdateSql update_;
    std::unique_ptr<db::Query> items_;
};

const Rows kUntouched = {"1|a|1.0|0", "2|b|2.0|0", "3|c|3.0|0"};

TEST_F(CachedUpdates, SendsInRowOrderWithTheLoadedValues) {
    db::Query& q = *items_;
    // Each step only succeeds after the one before it: the key 1 is freed by the update
    // of the first row, the key 2 by the delete of the second.
    ASSERT_TRUE(q.locate("Id", 1));
    q.edit();
    q.fieldByName("Id").setValue(10);
    q.fieldByName("Name").setValue(QStringLiteral("a moved"));
    q.post();
    ASSERT_TRUE(q.locate("Id", 2));
    q.insert(); // lands between the first and second rows
    setRow(q, 1, QStringLiteral("new 1"), 11.5);
    ASSERT_TRUE(q.locate("Id", 2));
    q.deleteRecord();
    q.append();
    setRow(q, 2, QStringLiteral("new 2"), 12);
    editPrice(q, 3, 33);
    EXPECT_TRUE(q.updatesPending());

    ASSERT_NO_DB_ERROR(q.applyUpdates());
    EXPECT_FALSE(q.updatesPending());
    EXPECT_EQ(stored(),
              (Rows{"1|new 1|11.5|1", "2|new 2|12.0|1", "3|c|33.0|1", "10|a moved|1.0|1"}));

    // What was sent now reads as loaded: a second round is keyed by the new values.
    editPrice(q, 10, 100);
    ASSERT_NO_DB_ERROR(q.applyUpdates());
    EXPECT_EQ(server_.scalar("NVKDC", "select Price || '/' || Sends from Item where Id = 10"),
              QStringLiteral("100.0/2"));
}

TEST_F(CachedUpdates, RowInsertedWhereOneWasDeletedGoesAfterTheDelete) {
    db::Query& q = *items_;
    ASSERT_TRUE(q.locate("Id", 2));
    q.deleteRecord(); // the third row is current now
    q.insert();       // in the place of the deleted one
    setRow(q, 2, QStringLiteral("again"), 22);
    ASSERT_NO_DB_ERROR(q.applyUpdates());
    EXPECT_EQ(stored(), (Rows{"1|a|1.0|0", "2|again|22.0|1", "3|c|3.0|0"}));
}

TEST_F(CachedUpdates, FailureKeepsEveryChangeAndRetrySendsEachOnce) {
    db::Query& q = *items_;
    editPrice(q, 1, 10);
    ASSERT_TRUE(q.locate("Id", 2));
    q.deleteRecord();
    editPrice(q, 3, QVariant()); // violates NOT NULL
    q.append();
    setRow(q, 4, QStringLiteral("d"), 4);

    const QString error = dbErrorOf([&] { q.applyUpdates(); });
    EXPECT_TRUE(error.contains(QStringLiteral("Cannot insert the value NULL into column 'Price'")))
        << str(error);
    EXPECT_EQ(stored(), kUntouched);
    EXPECT_TRUE(q.updatesPending());
    EXPECT_EQ(statuses(q), "MMI");
    EXPECT_FALSE(main_->inTransaction());

    editPrice(q, 3, 30);
    ASSERT_NO_DB_ERROR(q.applyUpdates());
    EXPECT_EQ(stored(), (Rows{"1|a|10.0|1", "3|c|30.0|1", "4|d|4.0|1"}));
    EXPECT_FALSE(q.updatesPending());
    ASSERT_NO_DB_ERROR(q.applyUpdates()); // nothing left to send
    EXPECT_EQ(stored(), (Rows{"1|a|10.0|1", "3|c|30.0|1", "4|d|4.0|1"}));
}

TEST_F(CachedUpdates, CallersRollbackRestoresThePendingChanges) {
    enum class End { Rollback, ScopeExit, Close };
    for (End end : {End::Rollback, End::ScopeExit, End::Close}) {
        SCOPED_TRACE(int(end));
        server_.exec("NVKDC", "delete from Item; insert into Item(Id, Name, Price) values "
                              "(1, 'a', 1), (2, 'b', 2), (3, 'c', 3)");
        auto q = cachedItems();
        editPrice(*q, 1, 10);
        ASSERT_TRUE(q->locate("Id", 2));
        q->deleteRecord();
        q->append();
        setRow(*q, 4, QStringLiteral("d"), 4);
        {
            db::Unit t(*main_);
            ASSERT_NO_DB_ERROR(q->applyUpdates());
            EXPECT_FALSE(q->updatesPending());
            if (end == End::Rollback) {
                t.rollback();
            } else if (end == End::Close) {
                main_->close();
            }
        }
        EXPECT_EQ(stored(), kUntouched);
        EXPECT_TRUE(q->updatesPending());
        EXPECT_EQ(statuses(*q), "MUI");
        ASSERT_NO_DB_ERROR(q->applyUpdates());
        EXPECT_EQ(stored(), (Rows{"1|a|10.0|1", "3|c|3.0|0", "4|d|4.0|1"}));
    }
}

TEST_F(CachedUpdates, CommittedTransactionKeepsTheChangesSent) {
    editPrice(*items_, 2, 20);
    {
        db::Unit t(*main_);
        ASSERT_NO_DB_ERROR(items_->applyUpdates());
        ASSERT_NO_DB_ERROR(t.commit());
    }
    EXPECT_FALSE(items_->updatesPending());
    EXPECT_EQ(stored(), (Rows{"1|a|1.0|0", "2|b|20.0|1", "3|c|3.0|0"}));
}

TEST_F(CachedUpdates, SaveOfTwoDatasetsIsAllOrNothing) {
    // A header and its lines saved in one transaction: the lines fail, so the header, sent
    // already, must be pending again for the retry.
    server_.exec("NVKDC", "create table Line(Id INTEGER PRIMARY KEY, Qty FLOAT NOT NULL);"
                          "insert into Line values (1, 5)");
    db::UpdateSql lineUpdate;
    lineUpdate.modifySql = "update Line set Qty = :Qty where Id = :OLD_Id";
    auto lines = query(QStringLiteral("select Id, Qty from Line"));
    lines->setCachedUpdates(true);
    lines->setUpdateObject(&lineUpdate);
    ASSERT_NO_DB_ERROR(lines->open());

    editPrice(*items_, 1, 10);
    lines->edit();
    lines->fieldByName("Qty").clear();
    lines->post();
    {
        db::Unit t(*main_);
        ASSERT_NO_DB_ERROR(items_->applyUpdates());
        EXPECT_FALSE(dbErrorOf([&] { lines->applyUpdates(); }).isEmpty());
        EXPECT_TRUE(t.active());
    }
    EXPECT_EQ(stored(), kUntouched);
    EXPECT_TRUE(items_->updatesPending());
    EXPECT_TRUE(lines->updatesPending());

    lines->edit();
    lines->fieldByName("Qty").setValue(6);
    lines->post();
    {
        db::Unit t(*main_);
        ASSERT_NO_DB_ERROR(items_->applyUpdates());
        ASSERT_NO_DB_ERROR(lines->applyUpdates());
        ASSERT_NO_DB_ERROR(t.commit());
    }
    EXPECT_EQ(stored(), (Rows{"1|a|10.0|1", "2|b|2.0|0", "3|c|3.0|0"}));
    EXPECT_EQ(server_.rows("NVKDC", "select Id, Qty from Line"), (Rows{"1|6.0"}));
}

TEST_F(CachedUpdates, TwoAppliesInOneTransactionRollBackToTheFirstState) {
    db::Query& q = *items_;
    q.append();
    setRow(q, 4, QStringLiteral("d"), 4);
    q.append();
    setRow(q, 5, QStringLiteral("e"), 5);
    editPrice(q, 1, 10);
    {
        db::Unit t(*main_);
        ASSERT_NO_DB_ERROR(q.applyUpdates());
        // Rows sent a moment ago are edited and deleted, and sent again.
        editPrice(q, 4, 40);
        editPrice(q, 1, 100);
        ASSERT_TRUE(q.locate("Id", 5));
        q.deleteRecord();
        ASSERT_NO_DB_ERROR(q.applyUpdates());
    }
    EXPECT_EQ(stored(), kUntouched);
    EXPECT_EQ(statuses(q), "MUUI");
    ASSERT_NO_DB_ERROR(q.applyUpdates());
    EXPECT_EQ(stored(), (Rows{"1|a|100.0|1", "2|b|2.0|0", "3|c|3.0|0", "4|d|40.0|1"}));
}

TEST_F(CachedUpdates, RowChangedOrRemovedElsewhereFailsTheApply) {
    // The update also checks the name read, so a row renamed elsewhere is not overwritten.
    update_.modifySql = "update Item set Name = :Name, Price = :Price, Sends = Sends + 1 "
                        "where Id = :OLD_Id and Name = :OLD_Name";
    auto other = server_.connect(QStringLiteral("Other"), "NVKDC");
    const struct {
        const char* elsewhere;
        bool deleteHere;
    } cases[] = {
        {"update Item set Name = 'renamed' where Id = 2", false},
        {"delete from Item where Id = 2", false},
        {"update Item set Id = 20 where Id = 2", true},
        {"delete from Item where Id = 2", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.elsewhere);
        server_.exec("NVKDC", "delete from Item; insert into Item(Id, Name, Price) values "
                              "(1, 'a', 1), (2, 'b', 2), (3, 'c', 3)");
        auto q = cachedItems();
        editPrice(*q, 1, 10);
        ASSERT_TRUE(q->locate("Id", 2));
        if (c.deleteHere) {
            q->deleteRecord();
        } else {
            editPrice(*q, 2, 20);
        }
        EXPECT_EQ(query(QString::fromUtf8(c.elsewhere), {}, QStringLiteral("Other"))->execSQL(), 1);
        const Rows before = stored();

        const QString error = dbErrorOf([&] { q->applyUpdates(); });
        EXPECT_TRUE(error.contains(QStringLiteral("changed or removed by another user")))
            << str(error);
        EXPECT_EQ(stored(), before); // the first row's update went back too
        EXPECT_TRUE(q->updatesPending());
    }
}

// ---- scripts ------------------------------------------------------------------------------

TEST(ScriptSplit, OnlyLinesHoldingASlashSeparate) {
    const struct {
        const char* script;
        QStringList statements;
    } cases[] = {
        {"a\n/\nb", {"a", "b"}},
        {"a\n   /  \t\nb\n/\n", {"a", "b"}},
        {"select 4 / 2\n/", {"select 4 / 2"}},
        {"a\n//\nb", {"a\n//\nb"}},
        {"a\n/x\nb", {"a\n/x\nb"}},
        {"/\n/\n\n/\na\n/\n \n/", {"a"}},
        {"a\r\n/\r\nb\r\n", {"a", "b"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        QStringList got = db::splitScript(QString::fromUtf8(c.script));
        for (QString& s : got) {
            s = s.trimmed();
        }
        EXPECT_EQ(got, c.statements) << c.script;
    }
}

// ---- memory tables and number reading -----------------------------------------------------

TEST(MemTable, TextIsCutToTheFieldSize) {
    db::MemTable t;
    t.addField(QStringLiteral("Code"), db::FieldType::Text, 5);
    t.addField(QStringLiteral("Note"), db::FieldType::Text);
    t.open();
    t.append();
    t.fieldByName("Code").setValue(QStringLiteral("ABCDEFGH"));
    t.fieldByName("Note").setValue(QString(300, QLatin1Char('x')));
    t.post();
    t.append();
    t.fieldByName("Code").setValue(1234567.5);
    t.post();
    t.first();
    EXPECT_EQ(t.fieldByName("Code").asString(), QStringLiteral("ABCDE"));
    EXPECT_EQ(t.fieldByName("Note").asString().size(), 300);
    t.next();
    EXPECT_EQ(t.fieldByName("Code").asString(), QStringLiteral("12345"));
}

TEST(MemTable, SortsTextInLocaleOrderAndNumbersByValueKeepingTheCurrentRow) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Thai, QLocale::Thailand));
    struct RestoreLocale {
        QLocale locale;
        ~RestoreLocale() { QLocale::setDefault(locale); }
    } restore{saved};

    db::MemTable t;
    t.addField(QStringLiteral("Name"), db::FieldType::Text, 20);
    t.addField(QStringLiteral("Qty"), db::FieldType::Float);
    t.open();
    // Thai words sort by consonant, not by a leading vowel; case does not count.
    const std::vector<std::pair<QString, QVariant>> rows = {
        {QStringLiteral("คน"), 10},         {QStringLiteral("banana"), 9},
        {QStringLiteral("ไข่"), 100},        {QStringLiteral("Apple"), -1},
        {QStringLiteral("กา"), QVariant()}, {QStringLiteral("apple2"), 2.5}};
    for (const auto& [name, qty] : rows) {
        t.append();
        t.fieldByName("Name").setValue(name);
        t.fieldByName("Qty").setValue(qty);
        t.post();
    }
    auto column = [&](const char* field) {
        QStringList out;
        for (t.first(); !t.eof(); t.next()) {
            out << t.fieldByName(field).asString();
        }
        return out;
    };

    ASSERT_TRUE(t.locate("Name", QStringLiteral("banana")));
    t.sortOn(QStringLiteral("Name"));
    EXPECT_EQ(t.fieldByName("Name").asString(), QStringLiteral("banana"));
    EXPECT_EQ(t.recNo(), 6);
    EXPECT_EQ(column("Name"), (QStringList{"กา", "ไข่", "คน", "Apple", "apple2", "banana"}));

    ASSERT_TRUE(t.locate("Name", QStringLiteral("ไข่")));
    t.sortOn(QStringLiteral("Qty"));
    EXPECT_EQ(t.fieldByName("Name").asString(), QStringLiteral("ไข่"));
    EXPECT_EQ(column("Qty"), (QStringList{"", "-1", "2.5", "9", "10", "100"}));

    t.sortOn(QStringLiteral("Qty"), true);
    EXPECT_EQ(column("Qty"), (QStringList{"100", "10", "9", "2.5", "-1", ""}));

    t.close();
    t.open();
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_TRUE(t.isEmpty());
}

TEST(NumberReading, HalfGoesToTheEvenNeighbour) {
    const struct {
        double value;
        qint64 expected;
    } cases[] = {{10.5, 10}, {11.5, 12}, {-2.5, -2},  {0.5, 0},
                 {1.5, 2},   {2.5, 2},   {-0.5, 0},   {-1.5, -2},
                 {2.49, 2},  {2.51, 3},  {-7.51, -8}, {1e12 + 0.5, 1000000000000}};
    db::MemTable t;
    t.addField(QStringLiteral("F"), db::FieldType::Float);
    t.addField(QStringLiteral("T"), db::FieldType::Text);
    t.open();
    for (const auto& c : cases) {
        EXPECT_EQ(db::roundHalfEven(c.value), c.expected) << c.value;
        t.append();
        t.fieldByName("F").setValue(c.value);
        t.fieldByName("T").setValue(QString::number(c.value, 'f', 2));
        t.post();
        EXPECT_EQ(t.fieldByName("F").asInteger(), c.expected) << c.value;
        EXPECT_EQ(t.fieldByName("T").asInteger(), c.expected) << c.value;
    }
}

TEST(NumberReading, EmptyNumbersReadAsZeroAndDatesAsDayMonthYear) {
    db::MemTable t;
    t.addField(QStringLiteral("F"), db::FieldType::Float);
    t.addField(QStringLiteral("I"), db::FieldType::Integer);
    t.addField(QStringLiteral("T"), db::FieldType::Text);
    t.addField(QStringLiteral("D"), db::FieldType::DateTime);
    t.open();
    t.append();
    t.fieldByName("F").setValue(QString());
    t.fieldByName("I").setValue(QStringLiteral("  "));
    t.fieldByName("T").setValue(QString());
    t.post();
    for (const char* f : {"F", "I", "T"}) {
        EXPECT_EQ(t.fieldByName(f).asFloat(), 0.0) << f;
        EXPECT_EQ(t.fieldByName(f).asInteger(), 0) << f;
    }
    EXPECT_TRUE(t.fieldByName("F").isNull());
    EXPECT_TRUE(t.fieldByName("I").isNull());

    const struct {
        QVariant input;
        QDateTime expected;
        const char* shown;
    } dates[] = {
        {QDate(2024, 3, 7), QDateTime(QDate(2024, 3, 7), QTime(0, 0)), "07/03/2024"},
        {QStringLiteral("07/03/2024"), QDateTime(QDate(2024, 3, 7), QTime(0, 0)), "07/03/2024"},
        {QStringLiteral("7/3/2024"), QDateTime(QDate(2024, 3, 7), QTime(0, 0)), "07/03/2024"},
        {QStringLiteral("31/12/2023 23:59:58"), QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58)),
         "31/12/2023 23:59:58"},
        {QStringLiteral("2024-03-07 10:11:12.000"), QDateTime(QDate(2024, 3, 7), QTime(10, 11, 12)),
         "07/03/2024 10:11:12"},
    };
    for (const auto& d : dates) {
        t.edit();
        t.fieldByName("D").setValue(d.input);
        t.post();
        EXPECT_EQ(t.fieldByName("D").asDateTime(), d.expected) << d.shown;
        EXPECT_EQ(t.fieldByName("D").asString(), QString::fromUtf8(d.shown));
    }
}

TEST(NumberReading, FloatsReadAsPlainTextWithoutDrift) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {8850999320014.0, "8850999320014"}, // a barcode kept as a number
        {0.1 + 0.2, "0.3"},
        {2.5, "2.5"},
        {-0.0, "0"},
        {1234567.125, "1234567.125"},
        {-42, "-42"},
    };
    db::MemTable t;
    t.addField(QStringLiteral("F"), db::FieldType::Float);
    t.open();
    t.append();
    for (const auto& c : cases) {
        t.fieldByName("F").setValue(c.value);
        EXPECT_EQ(t.fieldByName("F").asString(), QString::fromUtf8(c.text)) << c.text;
    }
}

TEST(NumberReading, IntegersOutsideTheirRangeFailAndChangeNothing) {
    const QString bigint =
        QStringLiteral("Arithmetic overflow error converting expression to data type bigint.");
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* name;
        QVariant value;
        std::optional<qint64> expected; // nullopt: out of range
    } cases[] = {
        {"1e19", 1e19, std::nullopt},
        {"-1e19", -1e19, std::nullopt},
        {"1e300", 1e300, std::nullopt},
        {"2^63 as a double", 9223372036854775807.0, std::nullopt},
        {"2^63 - 0.5 rounds up to 2^63", 9223372036854775807.5, std::nullopt},
        {"infinity", inf, std::nullopt},
        {"-infinity", -inf, std::nullopt},
        {"NaN", std::numeric_limits<double>::quiet_NaN(), std::nullopt},
        {"text 1e19", QStringLiteral("1e19"), std::nullopt},
        {"text 2^63", QStringLiteral("9223372036854775808"), std::nullopt},
        {"unsigned 2^63", QVariant::fromValue<quint64>(9223372036854775808ULL), std::nullopt},
        {"-2^63 as a double", -9223372036854775808.0, std::numeric_limits<qint64>::min()},
        {"largest double below 2^63", 9223372036854774784.0, 9223372036854774784LL},
        {"text 2^63 - 1, exactly", QStringLiteral(" 9223372036854775807 "),
         std::numeric_limits<qint64>::max()},
        {"unsigned 2^63 - 1", QVariant::fromValue<quint64>(9223372036854775807ULL),
         std::numeric_limits<qint64>::max()},
        {"1e18", 1e18, 1000000000000000000LL},
    };
    db::MemTable t;
    t.addField(QStringLiteral("I"), db::FieldType::Integer);
    t.addField(QStringLiteral("F"), db::FieldType::Float);
    t.open();
    t.append();
    t.fieldByName("I").setValue(7);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.expected) {
            EXPECT_EQ(dbErrorOf([&] { db::variantToInteger(c.value); }), bigint);
            EXPECT_EQ(dbErrorOf([&] { t.fieldByName("I").setValue(c.value); }), bigint);
            EXPECT_EQ(t.fieldByName("I").asInteger(), 7) << "the field keeps its value";
        } else {
            EXPECT_EQ(db::variantToInteger(c.value), *c.expected);
            t.fieldByName("I").setValue(c.value);
            EXPECT_EQ(t.fieldByName("I").asInteger(), *c.expected);
            t.fieldByName("I").setValue(7);
        }
    }

    // A float field holds what the server's float holds; reading it as an integer is checked.
    t.fieldByName("F").setValue(1e19);
    EXPECT_EQ(dbErrorOf([&] { t.fieldByName("F").asInteger(); }), bigint);
    for (double d : {inf, -inf, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(
            dbErrorOf([&] { t.fieldByName("F").setValue(d); }),
            QStringLiteral("Arithmetic overflow error converting expression to data type float."))
            << d;
        EXPECT_EQ(t.fieldByName("F").asFloat(), 1e19);
    }
}

// ---- rounding up to a pack ----------------------------------------------------------------

TEST_F(DbLayer, RoundUpToWholePacksIsExact) {
    auto q = query(QStringLiteral("select DecMul(CEILING(DecDiv(:Qty, DecRound(:UnitPicking, 2))), "
                                  "DecRound(:UnitPicking, 2)) RoundupQty"));
    const struct {
        qint64 qty;
        QVariant pack;
        double expected;
    } cases[] = {
        {13, 12, 24},        {7, 0.07, 7},
        {6, 2.5, 7.5},       {-13, 12, -12},
        {-5, 12, 0},         {12, 12, 12},
        {1, 12, 12},         {0, 12, 0},
        {3, 0.1, 3},         {10, 0.3, 10.2},
        {1, 0.07, 1.05},     {13, 12.004, 24},
        {13, 12.005, 24.02}, {7, QStringLiteral("0.07"), 7},
        {100, 0.01, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.qty << " by " << str(c.pack.toString()));
        q->close();
        q->paramByName(QStringLiteral("Qty")).setValue(QVariant::fromValue(c.qty));
        q->paramByName(QStringLiteral("UnitPicking")).setValue(c.pack);
        ASSERT_NO_DB_ERROR(q->open());
        EXPECT_EQ(q->fieldByName("RoundupQty").asFloat(), c.expected);
    }

    q->close();
    q->paramByName(QStringLiteral("UnitPicking")).setValue(0);
    EXPECT_EQ(dbErrorOf([&] { q->open(); }), QStringLiteral("Divide by zero error encountered."));
    q->paramByName(QStringLiteral("UnitPicking")).setValue(0.004); // rounds to a pack of 0
    EXPECT_EQ(dbErrorOf([&] { q->open(); }), QStringLiteral("Divide by zero error encountered."));
}

TEST_F(DbLayer, DecimalsBeyondThirtyEightDigitsOverflowAndTinyOnesRoundAway) {
    const QString overflow =
        QStringLiteral("Arithmetic overflow error converting expression to data type numeric.");
    const QString byZero = QStringLiteral("Divide by zero error encountered.");
    const struct {
        const char* expression;
        const QString* error; // nullptr: the value below
        double value;
    } cases[] = {
        {"DecMul(1e300, 2)", &overflow, 0},      {"DecMul(:Big, :Big)", &overflow, 0}, // 39 digits
        {"DecRound(1e38, 2)", &overflow, 0},     {"DecDiv(1e300, 3)", &overflow, 0},
        {"DecDiv(1, 1e-300)", &byZero, 0}, // 1e-300 has no digit within 38 decimals
        {"DecRound(:Big, 0)", nullptr, 1e19},    {"DecDiv(1e36, 0.1)", nullptr, 1e37},
        {"DecRound(1e-300, 2)", nullptr, 0},     {"DecMul(1e-30, 1e-30)", nullptr, 0},
        {"DecRound(2.5, 400)", nullptr, 2.5},    {"DecRound(-2.5, -400)", nullptr, 0},
        {"DecRound(1234.5, -2)", nullptr, 1200}, {"DecRound(-1250, -2)", nullptr, -1300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expression);
        auto q = query(QStringLiteral("select %1 as v").arg(QString::fromUtf8(c.expression)));
        if (q->params().find(QStringLiteral("Big"))) {
            q->paramByName(QStringLiteral("Big")).setValue(QStringLiteral("10000000000000000000"));
        }
        if (c.error) {
            EXPECT_EQ(dbErrorOf([&] { q->open(); }), *c.error);
        } else {
            ASSERT_NO_DB_ERROR(q->open());
            EXPECT_EQ(q->fieldByName("v").asFloat(), c.value);
        }
    }
    EXPECT_EQ(dbErrorOf([] { db::Decimal::fromText(QStringLiteral("1e38")); }), overflow);
    const auto tiny = db::Decimal::fromText(QStringLiteral("-2e-2147483648"));
    ASSERT_TRUE(tiny);
    EXPECT_TRUE(tiny->isZero());
    EXPECT_FALSE(db::Decimal::fromText(QStringLiteral("1e")));
    EXPECT_FALSE(db::Decimal::fromText(QStringLiteral("๑๒"))) << "ASCII digits only";
}

// ---- sibling databases, opening and error wording -----------------------------------------

TEST(ServerOpening, MissingDatabaseOrFolderFailsAndCreatesNothing) {
    TempServer server({QStringLiteral("NVKDC")});
    const QStringList before = QDir(server.folder()).entryList(QDir::Files);
    for (const char* name : {"NOPE", "nope", ""}) {
        auto c = server.connect(QStringLiteral("Missing"), QString::fromUtf8(name));
        const QString error = dbErrorOf([&] { c->open(); });
        EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot open database"))) << str(error);
        EXPECT_FALSE(c->connected());
    }
    EXPECT_EQ(QDir(server.folder()).entryList(QDir::Files), before);

    const QString absent = QDir(server.folder()).filePath(QStringLiteral("absent"));
    db::Connection c(QStringLiteral("NoFolder"));
    c.params() << QStringLiteral("SERVER NAME=sqlite:") + absent
               << QStringLiteral("DATABASE NAME=NVKDC");
    const QString error = dbErrorOf([&] { c.open(); });
    EXPECT_TRUE(error.startsWith(QStringLiteral("SQL Server does not exist or access denied.")))
        << str(error);
    EXPECT_TRUE(error.contains(absent)) << str(error);
    EXPECT_FALSE(QFileInfo::exists(absent));

    // Once the name is right the same connection opens.
    c.params() << QStringLiteral("SERVER NAME=") + server.serverName();
    EXPECT_NO_DB_ERROR(c.open());
    EXPECT_TRUE(c.connected());
}

TEST(ServerOpening, DamagedFilesReadAsDamageNotAsANetworkFault) {
    TempServer server({QStringLiteral("NVKDC"), QStringLiteral("TORN")});
    // Not a database at all, and a database whose table pages were overwritten.
    QFile garbage(server.fileOf(QStringLiteral("DAMAGED")));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(8192, 'z'));
    garbage.close();
    server.exec("TORN",
                "PRAGMA journal_mode=DELETE; create table T(x TEXT); "
                "with recursive n(i) as (select 1 union all select i + 1 from n where i < 50) "
                "insert into T select hex(randomblob(500)) from n");
    QFile torn(server.fileOf(QStringLiteral("TORN")));
    ASSERT_TRUE(torn.open(QIODevice::ReadWrite));
    torn.seek(4096 + 16);
    torn.write(QByteArray(4096 * 3, '\xff'));
    torn.close();

    auto notADatabase = server.connect(QStringLiteral("Damaged"), QStringLiteral("DAMAGED"));
    auto tornDatabase = server.connect(QStringLiteral("Torn"), QStringLiteral("TORN"));
    const struct {
        std::function<void()> use;
        const char* native;
    } cases[] = {
        {[&] { notADatabase->open(); }, "file is not a database"},
        {[&] {
             db::Query(QStringLiteral("Torn"), db::SqlSource("select count(*), max(x) from T"))
                 .open();
         },
         "database disk image is malformed"},
    };
    for (const auto& c : cases) {
        const QString error = dbErrorOf(c.use);
        EXPECT_TRUE(error.startsWith(QStringLiteral("The database file is damaged"))) << str(error);
        EXPECT_TRUE(error.contains(QLatin1String(c.native))) << str(error);
        EXPECT_FALSE(error.contains(QStringLiteral("network"))) << str(error);
        try {
            c.use();
        } catch (const db::DbError& e) {
            EXPECT_EQ(e.kind(), db::DbErrorKind::Damaged) << str(e.message());
        }
    }
}

TEST(ServerOpening, AFolderOfTwelveDatabasesIsReachedByThreePartNames) {
    QStringList names{QStringLiteral("NVKDC")};
    for (int i = 1; i <= 11; ++i) {
        names << QStringLiteral("SIB%1").arg(i, 2, 10, QLatin1Char('0'));
    }
    TempServer server(names);
    for (const QString& name : names.mid(1)) {
        server.exec(
            name, QStringLiteral("create table T(x TEXT); insert into T values ('%1')").arg(name));
    }
    auto c = server.connect(QStringLiteral("Many"), QStringLiteral("NVKDC"));
    auto first = [](const QString& sql) {
        db::Query q(QStringLiteral("Many"), db::SqlSource(sql));
        q.open();
        return q.fields()[0]->asString();
    };
    for (int round = 0; round < 2; ++round) {
        for (const QString& name : names.mid(1)) {
            QString value;
            EXPECT_NO_DB_ERROR(value = first(QStringLiteral("select x from %1.dbo.T").arg(name)));
            EXPECT_EQ(value, name);
        }
    }
    QString joined;
    EXPECT_NO_DB_ERROR(
        joined = first(QStringLiteral("select a.x || b.x || c.x from SIB01.dbo.T a, SIB06.dbo.T b, "
                                      "SIB11.dbo.T c")));
    EXPECT_EQ(joined, QStringLiteral("SIB01SIB06SIB11"));

    // A name without a database fails clearly, never as a missing table.
    const QString missing = dbErrorOf([&] { first(QStringLiteral("select x from NoSuch.dbo.T")); });
    EXPECT_TRUE(missing.startsWith(QStringLiteral("Database 'NOSUCH' does not exist.")))
        << str(missing);
}

TEST(ServerOpening, ASaveLocksOnlyTheDatabaseItWritesAndSyncsEachCommit) {
    TempServer server;
    server.exec("NVKDC", "create table Doc(x INTEGER)");
    server.exec("QRV_CONFIG_NVK", "create table Log(x INTEGER)");
    auto business = server.connect(QStringLiteral("Business"), QStringLiteral("NVKDC"));
    auto config = server.connect(QStringLiteral("Config"), QStringLiteral("QRV_CONFIG_NVK"));
    // The business connection reads the configuration database by its three-part name.
    db::Query readsConfig(QStringLiteral("Business"),
                          db::SqlSource("select count(*) from QRV_CONFIG_NVK.dbo.Log"));
    ASSERT_NO_DB_ERROR(readsConfig.open());

    db::Unit save(*business);
    db::Query(QStringLiteral("Business"), db::SqlSource("insert into Doc values (1)")).execSQL();
    QElapsedTimer clock;
    clock.start();
    EXPECT_NO_DB_ERROR(
        db::Query(QStringLiteral("Config"), db::SqlSource("insert into Log values (1)")).execSQL());
    EXPECT_LT(clock.elapsed(), 1000) << "the configuration database was locked by the save";
    save.commit();

    db::Query sync(QStringLiteral("Business"), db::SqlSource("PRAGMA main.synchronous"));
    ASSERT_NO_DB_ERROR(sync.open());
    EXPECT_EQ(sync.fields()[0]->asInteger(), 2) << "FULL: a commit is on disk when it returns";
}

TEST_F(DbLayer, ConstraintErrorsAreWordedAsTheServerDoesAndKeepTheNativeText) {
    server_.exec("NVKDC", "create table Priced(Code VARCHAR(10) UNIQUE, Price FLOAT NOT NULL);"
                          "insert into Priced values ('A', 1)");
    const struct {
        const char* sql;
        std::vector<const char*> fragments;
    } cases[] = {
        {"insert into Priced values ('A', 2)",
         {"Cannot insert duplicate key row in object 'Priced'.",
          "UNIQUE constraint failed: Priced.Code"}},
        {"insert into Priced values ('B', NULL)",
         {"Cannot insert the value NULL into column 'Price', table 'Priced'",
          "NOT NULL constraint failed: Priced.Price"}},
        {"update Priced set Price = NULL",
         {"Cannot insert the value NULL into column 'Price'",
          "NOT NULL constraint failed: Priced.Price"}},
    };
    for (const auto& c : cases) {
        auto q = query(QString::fromUtf8(c.sql));
        q->setObjectName(QStringLiteral("qrySave"));
        try {
            q->execSQL();
            ADD_FAILURE() << c.sql << " did not fail";
        } catch (const db::DbError& e) {
            for (const char* f : c.fragments) {
                EXPECT_TRUE(e.message().contains(QString::fromUtf8(f))) << str(e.message());
            }
            EXPECT_EQ(e.statementName(), QStringLiteral("qrySave"));
            EXPECT_NE(e.nativeCode(), 0);
        }
    }
    EXPECT_EQ(server_.rows("NVKDC", "select Code, Price from Priced"), (Rows{"A|1.0"}));
}

// ---- catalogue and client-side If -------------------------------------------------------------

TEST_F(DbLayer, UpgradeStatementAddsTheColumnOnce) {
    server_.exec("NVKDC", "create table Menu(Id INTEGER PRIMARY KEY, Caption VARCHAR(50))");
    const QString upgrade = QStringLiteral(
        "If (Not Exists(Select Name From SysColumns Where Id = (Select Id From SysObjects Where "
        "Ltrim(Rtrim(Upper(Name))) = 'MENU') And Ltrim(Rtrim(Upper(Name)))='VERSION')) Begin "
        "Alter Table Menu Add Version Integer End");
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        EXPECT_NO_DB_ERROR(query(upgrade)->execSQL());
    }
    EXPECT_EQ(server_
                  .scalar("NVKDC", "select count(*) from pragma_table_info('Menu') where "
                                   "upper(name) = 'VERSION'")
                  .toInt(),
              1);
    // The same connection sees the new column.
    auto q = open(QStringLiteral("select Id, Caption, Version from Menu"));
    EXPECT_NE(q->findField(QStringLiteral("Version")), nullptr);
}

TEST_F(DbLayer, CatalogueListsTheServersDatabasesWithoutRegardToCase) {
    auto q = open(QStringLiteral("Select * From SysDatabases Where Name = 'QRV_Config_NVK'"));
    ASSERT_EQ(q->recordCount(), 1);
    EXPECT_EQ(q->fieldByName("Name").asString(), QStringLiteral("QRV_CONFIG_NVK"));
    auto all = open(QStringLiteral("select Name from SysDatabases order by Name"));
    QStringList names;
    for (all->first(); !all->eof(); all->next()) {
        names << all->fieldByName("Name").asString();
    }
    EXPECT_EQ(names, (QStringList{"NVK", "NVKDC", "QRV_CONFIG_NVK"}));
    EXPECT_EQ(open(QStringLiteral("select Name from SysDatabases where Name = 'QRV_CONFIG'"))
                  ->recordCount(),
              0);
}

TEST_F(DbLayer, ServerFunctionsBehaveAsTheirNamesSay) {
    const struct {
        const char* expression;
        QVariant expected;
    } cases[] = {
        {"Left('abcdef', 3)", QStringLiteral("abc")},
        {"Right('abcdef', 2)", QStringLiteral("ef")},
        {"Left('สวัสดี', 2)", QStringLiteral("สว")},
        {"Left(NULL, 2)", QVariant()},
        {"Len('ab  ')", 2},
        {"Len('  ab')", 4},
        {"IsNull(NULL, 'x')", QStringLiteral("x")},
        {"IsNull('y', 'x')", QStringLiteral("y")},
        {"Ceiling(1.2)", 2},
        {"Ceiling(-1.2)", -1},
        {"Floor(-1.2)", -2},
        {"Ceiling(5)", 5},
        {"DecRound(2.345, 2)", 2.35},
        {"DecRound(-2.345, 2)", -2.35},
        {"DecRound(1.005, 2)", 1.01},
        {"DecMul(0.1, 3)", 0.3},
        {"DecDiv(1, 8)", 0.125},
    };
    for (const auto& c : cases) {
        auto q = open(QStringLiteral("select %1 as v").arg(QString::fromUtf8(c.expression)));
        ASSERT_TRUE(q->isActive()) << c.expression;
        const db::Field& v = q->fieldByName("v");
        if (c.expected.isNull()) {
            EXPECT_TRUE(v.isNull()) << c.expression;
        } else if (c.expected.typeId() == QMetaType::QString) {
            EXPECT_EQ(v.asString(), c.expected.toString()) << c.expression;
        } else {
            EXPECT_EQ(v.asFloat(), c.expected.toDouble()) << c.expression;
        }
    }
    auto now = open(QStringLiteral("select GetDate() as Now"));
    const QDateTime read = now->fieldByName("Now").asDateTime();
    EXPECT_LE(std::abs(read.secsTo(QDateTime::currentDateTime())), 5)
        << str(now->fieldByName("Now").asString());
}

// ---- document numbers ---------------------------------------------------------------------

constexpr const char* kDrawEnv = "ORDERTOOL_DRAW_NUMBERS";

void createDocumentNo(const TempServer& server) {
    server.exec("NVKDC", "create table DocumentNo(Code VARCHAR(20) COLLATE NOCASE, DocYear "
                         "INTEGER, Description VARCHAR(100), Prefix VARCHAR(10), LastNo INTEGER, "
                         "DocumentLength INTEGER, AutoRun VARCHAR(1), PRIMARY KEY (Code, "
                         "DocYear))");
}

// One NewDocumentNo call on the named connection; the number, or the error's message.
QString drawNumber(const QString& connection, const QString& code, int year) {
    db::StoredProc proc(connection, QStringLiteral("NewDocumentNo"));
    proc.addParam(QStringLiteral("@DocCode"), db::FieldType::Text, db::ParamDirection::Input)
        .setValue(code);
    proc.addParam(QStringLiteral("@DocYear"), db::FieldType::Integer, db::ParamDirection::Input)
        .setValue(year);
    proc.addParam(QStringLiteral("@NewNo"), db::FieldType::Text, db::ParamDirection::Output);
    try {
        proc.execute();
    } catch (const db::DbError& e) {
        return QStringLiteral("error: ") + e.message();
    }
    return proc.paramByName(QStringLiteral("NewNo")).asString();
}

// When the concurrency test starts this binary again with ORDERTOOL_DRAW_NUMBERS set to
// "<count>:<folder>", it draws that many SO numbers of 2024 on NVKDC, prints them one a
// line and ends before any test runs. It waits for <folder>/GO so all drawers start together.
[[maybe_unused]] const bool kDrawerProcess = [] {
    const QString setting = qEnvironmentVariable(kDrawEnv);
    if (setting.isEmpty()) {
        return false;
    }
    const qsizetype colon = setting.indexOf(QLatin1Char(':'));
    const int count = setting.left(colon).toInt();
    const QString folder = setting.mid(colon + 1);
    for (int waited = 0; !QFileInfo::exists(QDir(folder).filePath(QStringLiteral("GO")));
         ++waited) {
        if (waited > 30000) {
            std::fprintf(stderr, "no start signal\n");
            std::_Exit(2);
        }
        QThread::msleep(1);
    }
    int status = 0;
    {
        db::Connection c(QStringLiteral("Drawer"));
        c.params() << QStringLiteral("SERVER NAME=sqlite:") + folder
                   << QStringLiteral("DATABASE NAME=NVKDC");
        for (int i = 0; i < count && status == 0; ++i) {
            const QString number = drawNumber(QStringLiteral("Drawer"), QStringLiteral("SO"), 2024);
            std::fprintf(number.startsWith(QLatin1String("error")) ? stderr : stdout, "%s\n",
                         number.toUtf8().constData());
            status = number.startsWith(QLatin1String("error")) ? 1 : 0;
            QThread::msleep(1); // lets the others in between, so the draws interleave
        }
        c.close();
    }
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}();

TEST(DocumentNumbers, FormatIsPrefixYearAndPaddedNumber) {
    const struct {
        const char* prefix;
        int year;
        qint64 number;
        int length;
        const char* expected;
    } cases[] = {
        {"SO", 2024, 7, 10, "SO24000007"},        {"PO", 2009, 123, 8, "PO090123"},
        {"SH", 2100, 1, 10, "SH00000001"},        {"", 2030, 5, 6, "300005"},
        {"SO", 2024, 1234567, 10, "SO241234567"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(db::SqliteProcedures::formatDocumentNo(QString::fromUtf8(c.prefix), c.year,
                                                         c.number, c.length),
                  QString::fromUtf8(c.expected));
    }
}

TEST_F(DbLayer, NewYearStartsFromTheCodesLatestRow) {
    createDocumentNo(server_);
    server_.exec("NVKDC", "insert into DocumentNo values ('SO', 2024, 'Sales', 'SO', 41, 10, 'Y');"
                          "insert into DocumentNo values ('SO', 2023, 'Old', 'SX', 999, 8, 'N')");
    EXPECT_EQ(drawNumber("Main", "SO", 2024), QStringLiteral("SO24000042"));
    EXPECT_EQ(drawNumber("Main", "so", 2025), QStringLiteral("SO25000001"));
    EXPECT_EQ(drawNumber("Main", "SO", 2025), QStringLiteral("SO25000002"));
    EXPECT_EQ(server_.rows("NVKDC", "select * from DocumentNo where DocYear = 2025"),
              (Rows{"SO|2025|Sales|SO|2|10|Y"}));
    EXPECT_TRUE(drawNumber("Main", "XX", 2025).contains(QStringLiteral("no numbering row")));

    // Inside a caller's transaction the number is only taken once it commits.
    {
        db::Unit t(*main_);
        EXPECT_EQ(drawNumber("Main", "SO", 2024), QStringLiteral("SO24000043"));
    }
    EXPECT_FALSE(main_->inTransaction());
    EXPECT_EQ(drawNumber("Main", "SO", 2024), QStringLiteral("SO24000043"));
}

TEST(DocumentNumbers, FourProcessesNeverDrawTheSameNumber) {
    TempServer server;
    createDocumentNo(server);
    server.exec("NVKDC", "insert into DocumentNo values ('SO', 2024, 'Sales', 'SO', 0, 10, 'Y')");
    constexpr int kProcesses = 4;
    constexpr int kEach = 50;
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    ASSERT_FALSE(self.isEmpty());

    std::vector<std::unique_ptr<QProcess>> drawers;
    for (int i = 0; i < kProcesses; ++i) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kDrawEnv),
                   QStringLiteral("%1:%2").arg(kEach).arg(server.folder()));
        p->setProcessEnvironment(env);
        p->start(self, {});
        ASSERT_TRUE(p->waitForStarted(10000));
        drawers.push_back(std::move(p));
    }
    QFile go(QDir(server.folder()).filePath(QStringLiteral("GO")));
    ASSERT_TRUE(go.open(QIODevice::WriteOnly));
    go.close();

    std::set<QString> numbers;
    int drawn = 0;
    for (auto& p : drawers) {
        ASSERT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        const QStringList lines = QString::fromUtf8(p->readAllStandardOutput())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), kEach);
        drawn += int(lines.size());
        numbers.insert(lines.begin(), lines.end());
    }
    EXPECT_EQ(drawn, kProcesses * kEach);
    EXPECT_EQ(numbers.size(), size_t(kProcesses * kEach));
    std::set<QString> expected;
    for (int n = 1; n <= kProcesses * kEach; ++n) {
        expected.insert(db::SqliteProcedures::formatDocumentNo("SO", 2024, n, 10));
    }
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(server.scalar("NVKDC", "select LastNo from DocumentNo").toInt(), kProcesses * kEach);
}

// ---- connections --------------------------------------------------------------------------

TEST(Connections, OpenOnFirstUseThroughTheHooks) {
    TempServer server;
    int before = 0;
    int after = 0;
    db::Connection c(QStringLiteral("HookedConn"));
    c.beforeConnect = [&](db::Connection& self) {
        ++before;
        self.params() << QStringLiteral("SERVER NAME=") + server.serverName()
                      << QStringLiteral("DATABASE NAME=NVKDC");
    };
    c.afterConnect = [&](db::Connection& self) {
        ++after;
        EXPECT_TRUE(self.connected());
        if (after == 1) {
            throw db::DbError(QStringLiteral("login refused"));
        }
    };
    EXPECT_EQ(db::Connection::find(QStringLiteral("hookedCONN")), &c);
    EXPECT_EQ(&db::Connection::byName(QStringLiteral("HOOKEDCONN")), &c);
    EXPECT_FALSE(dbErrorOf([] { db::Connection::byName(QStringLiteral("NoSuch")); }).isEmpty());

    db::Query q(QStringLiteral("hookedconn"), db::SqlSource("select 1 as One"));
    EXPECT_FALSE(c.connected());
    // A failing after-connect step leaves the connection closed; the next use tries again.
    EXPECT_EQ(dbErrorOf([&] { q.open(); }), QStringLiteral("login refused"));
    EXPECT_FALSE(c.connected());
    EXPECT_FALSE(q.isActive());

    ASSERT_NO_DB_ERROR(q.open());
    EXPECT_TRUE(c.connected());
    EXPECT_EQ(q.fieldByName("One").asInteger(), 1);
    q.close();
    db::Query other(QStringLiteral("HOOKEDCONN"), db::SqlSource("select 2 as Two"));
    ASSERT_NO_DB_ERROR(q.open());
    ASSERT_NO_DB_ERROR(other.open());
    EXPECT_EQ(before, 2);
    EXPECT_EQ(after, 2);
    EXPECT_EQ(c.paramValue(QStringLiteral("database name")), QStringLiteral("NVKDC"));
}

TEST(Connections, MaxQueryTimeStopsARunawayStatement) {
    TempServer server;
    auto c = server.connect(QStringLiteral("Timed"), "NVKDC", {QStringLiteral("MAX QUERY TIME=1")});
    db::Query q(QStringLiteral("Timed"),
                db::SqlSource("with recursive n(x) as (select 1 union all select x + 1 from n "
                              "where x < 500000000) select count(*) as c from n"));
    const QString error = dbErrorOf([&] { q.open(); });
    EXPECT_TRUE(error.contains(QStringLiteral("timed out"))) << str(error);
    // The connection stays usable.
    db::Query quick(QStringLiteral("Timed"), db::SqlSource("select 1 as One"));
    EXPECT_NO_DB_ERROR(quick.open());
}

} // namespace

TEST(MemTableRows, ManyInsertsAtOnePlaceKeepOrderAndDistinctBookmarks) {
    db::MemTable t;
    t.addField(QStringLiteral("N"), db::FieldType::Integer);
    t.open();
    for (int n : {1, 1000}) {
        t.append();
        t.fieldByName(QStringLiteral("N")).setValue(n);
        t.post();
    }
    // Each new row goes in just before the last one, halving the same gap every time.
    for (int i = 0; i < 120; ++i) {
        t.setRecNo(t.recordCount());
        t.insert();
        t.fieldByName(QStringLiteral("N")).setValue(2 + i);
        t.post();
    }
    std::vector<db::Dataset::Bookmark> marks;
    qint64 previous = 0;
    for (t.first(); !t.eof(); t.next()) {
        marks.push_back(t.bookmark());
        const qint64 n = t.fieldByName(QStringLiteral("N")).asInteger();
        EXPECT_GT(n, previous) << "row order kept";
        previous = n;
    }
    std::sort(marks.begin(), marks.end());
    EXPECT_EQ(std::adjacent_find(marks.begin(), marks.end()), marks.end()) << "bookmarks distinct";
}

// The index must follow every way a row's text changes, and bookmarks found by bisection
// must stay right when inserts renumber the rows or a sort reorders them.
TEST(MemTableIndex, FollowsEditsDeletesInsertsSortsAndReopening) {
    db::MemTable t;
    t.addField(QStringLiteral("Code"), db::FieldType::Text, 10);
    t.addField(QStringLiteral("N"), db::FieldType::Integer);
    t.setIndexField(QStringLiteral("Code"));
    t.open();
    auto add = [&t](const QString& code, int n) {
        t.append();
        t[QStringLiteral("Code")].setValue(code);
        t[QStringLiteral("N")].setValue(n);
        t.post();
    };
    auto found = [&t](const QString& code) {
        return t.findIndexed(code) ? int(t[QStringLiteral("N")].asInteger()) : 0;
    };
    add(QStringLiteral("A"), 1);
    add(QStringLiteral("B"), 2);
    add(QStringLiteral("A"), 3);
    EXPECT_EQ(found(QStringLiteral("A")), 1) << "the first in row order";
    EXPECT_EQ(found(QStringLiteral("a")), 0) << "exact";
    EXPECT_EQ(found(QString()), 0) << "empty texts are not indexed";

    t.setRecNo(1);
    t.edit();
    t[QStringLiteral("Code")].setValue(QStringLiteral("C"));
    EXPECT_EQ(found(QStringLiteral("A")), 3) << "a pending edit counts once posted";
    EXPECT_EQ(found(QStringLiteral("C")), 1);
    t.edit();
    t[QStringLiteral("Code")].setValue(QStringLiteral("X"));
    t.cancel();
    EXPECT_EQ(found(QStringLiteral("X")), 0) << "a cancelled edit leaves the index alone";

    t.setRecNo(2);
    t.deleteRecord();
    EXPECT_EQ(found(QStringLiteral("B")), 0);
    // Inserts at one place until the rows are numbered afresh.
    for (int i = 0; i < 80; ++i) {
        t.setRecNo(2);
        t.insert();
        t[QStringLiteral("Code")].setValue(QStringLiteral("I%1").arg(i));
        t[QStringLiteral("N")].setValue(100 + i);
        t.post();
    }
    EXPECT_EQ(found(QStringLiteral("I0")), 100);
    EXPECT_EQ(found(QStringLiteral("I79")), 179);
    EXPECT_EQ(found(QStringLiteral("A")), 3);
    EXPECT_EQ(t.recNo(), t.recordCount());

    t.sortOn(QStringLiteral("N"), true);
    EXPECT_EQ(found(QStringLiteral("C")), 1);
    EXPECT_EQ(t.recNo(), t.recordCount()) << "the smallest number sorts last";
    EXPECT_EQ(found(QStringLiteral("I40")), 140);

    t.close();
    t.open();
    EXPECT_EQ(found(QStringLiteral("C")), 0) << "reopened empty";
    add(QStringLiteral("C"), 7);
    EXPECT_EQ(found(QStringLiteral("C")), 7);
}

// A statement chooses its text by the backend's kind; one that no text of runs on a backend
// fails there before anything reaches the server.
TEST(SqlSourceVariants, TextForEachBackendOrALoudFailure) {
    db::SqlSource s("select a + b");
    s.variant(db::BackendKind::Sqlite, QStringLiteral("select a || b"))
        .notOn(db::BackendKind::Pgsql);
    EXPECT_EQ(s.textFor(db::BackendKind::Sqlite), QStringLiteral("select a || b"));
    EXPECT_THROW(s.textFor(db::BackendKind::Pgsql), db::DbError);
    s.variant(db::BackendKind::Pgsql, QStringLiteral("select concat(a, b)"));
    EXPECT_EQ(s.textFor(db::BackendKind::Pgsql), QStringLiteral("select concat(a, b)"));
    // SQL Server runs the text as written, whatever the others need.
    EXPECT_EQ(s.textFor(db::BackendKind::Mssql), QStringLiteral("select a + b"));
    EXPECT_THROW(s.variant(db::BackendKind::Mssql, QStringLiteral("select 1")), std::logic_error);
    EXPECT_THROW(s.notOn(db::BackendKind::Mssql), std::logic_error);
}

// A backend without streaming of its own: the session's default cursor hands out the rows
// of execute() in slices, in order, and reads as at its end once they are all out.
TEST(DefaultCursor, HandsOutTheMaterialisedResultInSlices) {
    class Materialising : public db::Session {
    public:
        db::BackendKind kind() const override { return db::BackendKind::Mssql; }
        QString databaseName() const override { return QStringLiteral("X"); }
        db::ResultSet execute(const QString&, const db::SqlText&, const db::Params&) override {
            ++runs;
            db::ResultSet r;
            r.columns = {{QStringLiteral("N"), db::FieldType::Integer, 0}};
            for (qint64 i = 1; i <= 10; ++i) {
                r.rows.push_back({QVariant::fromValue(i)});
            }
            r.rowsAffected = 10;
            return r;
        }
        void callProcedure(const QString&, db::Params&) override {}
        void begin() override {}
        void commit() override {}
        void rollback() override {}
        bool inTransaction() const override { return false; }
        void savepoint(const QString&) override {}
        void releaseSavepoint(const QString&) override {}
        void rollbackToSavepoint(const QString&) override {}
        int runs = 0;
    } session;
    auto cursor =
        session.openCursor(QStringLiteral("s"), db::SqlText(QStringLiteral("select N")), {});
    EXPECT_EQ(session.runs, 1);
    ASSERT_EQ(cursor->columns().size(), 1u);
    EXPECT_EQ(cursor->columns()[0].type, db::FieldType::Integer);
    std::vector<qint64> seen;
    std::vector<size_t> slices;
    while (!cursor->atEnd()) {
        const auto part = cursor->fetch(4);
        slices.push_back(part.size());
        for (const auto& row : part) {
            seen.push_back(row[0].toLongLong());
        }
    }
    EXPECT_EQ(slices, (std::vector<size_t>{4, 4, 2}));
    EXPECT_EQ(seen, (std::vector<qint64>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_TRUE(cursor->fetch(4).empty());
    EXPECT_TRUE(cursor->fetch(0).empty());
}
