#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The operating-system calls behind the workstation helpers, kept in one place so that
// another system's variant is one more source file.
namespace os {

std::optional<QString> computerName();
std::optional<QString> loginName();
// IPv4 addresses the resolver lists for this machine's own host name, in its order;
// nullopt when the name does not resolve.
std::optional<QStringList> ownHostIPv4Addresses();

} // namespace os
