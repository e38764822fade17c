#include "util/OsIdentity.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace os {

std::optional<QString> computerName() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0) {
        return std::nullopt;
    }
    return QString::fromLocal8Bit(buf);
}

std::optional<QString> loginName() {
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* result = nullptr;
    if (getpwuid_r(geteuid(), &pw, buf.data(), buf.size(), &result) == 0 && result &&
        result->pw_name) {
        return QString::fromLocal8Bit(result->pw_name);
    }
    return std::nullopt;
}

std::optional<QStringList> ownHostIPv4Addresses() {
    char host[64] = {};
    if (gethostname(host, sizeof host - 1) != 0) {
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) != 0 || !list) {
        return std::nullopt;
    }
    QStringList addresses;
    for (addrinfo* a = list; a; a = a->ai_next) {
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) {
            addresses << QString::fromLatin1(text);
        }
    }
    freeaddrinfo(list);
    return addresses;
}

} // namespace os
