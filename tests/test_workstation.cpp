// Workstation identity helpers for every answer the system can give.
#include "util/Workstation.h"

#include <gtest/gtest.h>

TEST(Workstation, IdentityTextsFromTheSystemsAnswers) {
    using namespace workstation;
    EXPECT_EQ(computerNameFrom(QStringLiteral(" \tHO-PC07\r\n")), QStringLiteral("HO-PC07"));
    EXPECT_EQ(computerNameFrom(std::nullopt), QString());
    EXPECT_EQ(loginNameFrom(QStringLiteral("somchai.k")), QStringLiteral("SOMCHAI.K"));
    EXPECT_EQ(loginNameFrom(QStringLiteral("ผู้ใช้ä")), QStringLiteral("ผู้ใช้ä")); // a to z only
    EXPECT_EQ(loginNameFrom(std::nullopt), QStringLiteral("UNKNOWN"));
    // Two adapters: the address the resolver lists last.
    EXPECT_EQ(localIpFrom(QStringList{"10.0.0.5", "192.168.1.20"}), QStringLiteral("192.168.1.20"));
    EXPECT_EQ(localIpFrom(std::nullopt), QString());
    EXPECT_EQ(localIpFrom(QStringList{}), QString());
}

TEST(Workstation, YearOfTakesTheCalendarYear) {
    EXPECT_EQ(YearOf(QDateTime(QDate(2024, 12, 31), QTime(23, 59))), 2024);
    EXPECT_EQ(YearOf(QDateTime(QDate(2025, 1, 1), QTime(0, 0))), 2025);
}

TEST(Workstation, LiveCallsAnswerWithoutFailing) {
    EXPECT_FALSE(GetLoginUserName().isEmpty());
    EXPECT_EQ(GetLoginUserName(), GetLoginUserName().toUpper());
    for (int i = 0; i < 50; ++i) {
        const QString ip = GetLocalIP(); // repeatable, no resource left behind
        EXPECT_TRUE(ip.isEmpty() || ip.count(QLatin1Char('.')) == 3) << ip.toStdString();
    }
}
