#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// Who and where the program runs: stamped on error log rows and saved documents.

// The computer name, blanks and control characters removed at both ends; empty when the
// system will not tell.
QString GetComputerNameText();
// The login name in upper case; "UNKNOWN" when it cannot be read.
QString GetLoginUserName();
// The last IPv4 address the resolver lists for the host's own name; empty when it does not
// resolve.
QString GetLocalIP();
int YearOf(const QDateTime& date);

namespace workstation {
// The pure parts of the helpers above, for any answer of the system.
QString computerNameFrom(const std::optional<QString>& name);
QString loginNameFrom(const std::optional<QString>& name);
QString localIpFrom(const std::optional<QStringList>& addresses);
} // namespace workstation
