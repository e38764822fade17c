#include "util/Workstation.h"

#include "util/OsIdentity.h"
#include "util/Text.h"

namespace workstation {

QString computerNameFrom(const std::optional<QString>& name) {
    return name ? util::trimControls(*name) : QString();
}

QString loginNameFrom(const std::optional<QString>& name) {
    return util::upperAscii(name ? *name : QStringLiteral("Unknown"));
}

QString localIpFrom(const std::optional<QStringList>& addresses) {
    // Each address replaces the previous one, so the last listed wins.
    return addresses && !addresses->isEmpty() ? addresses->last() : QString();
}

} // namespace workstation

QString GetComputerNameText() {
    return workstation::computerNameFrom(os::computerName());
}
QString GetLoginUserName() {
    return workstation::loginNameFrom(os::loginName());
}
QString GetLocalIP() {
    return workstation::localIpFrom(os::ownHostIPv4Addresses());
}
int YearOf(const QDateTime& date) {
    return date.date().year();
}
