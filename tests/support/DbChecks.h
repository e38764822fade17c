#pragma once

#include "platform/db/DbError.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Small helpers of the database layer's tests.
namespace testing_support {

using Rows = std::vector<std::string>;
using Bindings = std::vector<std::pair<QString, QVariant>>;

inline std::string str(const QString& s) {
    return s.toStdString();
}

// The databases a test server is given.
inline const QStringList kDatabases = {QStringLiteral("NVKDC"), QStringLiteral("NVK"),
                                       QStringLiteral("QRV_CONFIG_NVK")};

// The error the call throws; nullopt when it throws none.
template <typename F> std::optional<db::DbError> dbErrorOf(F&& call) {
    try {
        call();
    } catch (const db::DbError& e) {
        return e;
    }
    return std::nullopt;
}

} // namespace testing_support

// Fails the test (EXPECT: goes on) with the server's words when the call throws a database
// error.
#define EXPECT_NO_DB_ERROR(call)                                                                   \
    do {                                                                                           \
        try {                                                                                      \
            call;                                                                                  \
        } catch (const db::DbError& e) {                                                           \
            ADD_FAILURE() << #call << " failed: " << e.message().toStdString();                    \
        }                                                                                          \
    } while (false)

#define ASSERT_NO_DB_ERROR(call)                                                                   \
    do {                                                                                           \
        try {                                                                                      \
            call;                                                                                  \
        } catch (const db::DbError& e) {                                                           \
            FAIL() << #call << " failed: " << e.message().toStdString();                           \
        }                                                                                          \
    } while (false)
