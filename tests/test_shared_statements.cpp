// The shared statements as the documents run them, on the demo server.
#include "data/SharedStatements.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Query.h"
#include "support/DemoServer.h"

#include <gtest/gtest.h>

namespace {

class SharedStatements : public ::testing::Test {
protected:
    void SetUp() override {
        conn_.params() << QStringLiteral("DATABASE NAME=NVKDC")
                       << QStringLiteral("SERVER NAME=") +
                              testing_support::serverName(testing_support::sharedDemoServer());
    }
    db::Connection conn_{QStringLiteral("DMDATA")};
};

double roundup(qint64 qty, double pack) {
    db::Query q(QStringLiteral("DMData"), contract::roundupStatement());
    q.params().set(QStringLiteral("Qty"), qty);
    q.params().set(QStringLiteral("UnitPicking"), pack);
    q.open();
    return q.fieldByName(QStringLiteral("RoundupQty")).asFloat();
}

TEST_F(SharedStatements, RoundupReachesTheNextWholePackExactly) {
    struct Case {
        qint64 qty;
        double pack;
        double expected;
    };
    const Case cases[] = {{13, 12, 24}, {12, 12, 12},  {1, 12, 12},     {0, 12, 0},
                          {7, 0.07, 7}, {6, 2.5, 7.5}, {5, 2, 6},       {-13, 12, -12},
                          {-5, 12, 0},  {3, 0.1, 3},   {10, 0.3, 10.2}, {1, 2.555, 2.56}};
    for (const Case& c : cases) {
        try {
            EXPECT_EQ(roundup(c.qty, c.pack), c.expected) << c.qty << " with pack " << c.pack;
        } catch (const db::DbError& e) {
            ADD_FAILURE() << c.qty << " with pack " << c.pack << ": " << e.message().toStdString();
        }
    }
}

TEST_F(SharedStatements, RoundupWithPackZeroIsAServerError) {
    try {
        roundup(5, 0);
        FAIL() << "a pack size of 0 must fail";
    } catch (const db::DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Divide by zero")))
            << e.message().toStdString();
    }
}

} // namespace
