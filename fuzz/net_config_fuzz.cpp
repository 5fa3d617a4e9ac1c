// /etc/Qor.net as whatever bytes the file may hold.
#include <arpa/inet.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "net_config.h"

using namespace qor::net;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NetConfig c;
    char why[128];
    if (!parseNetConfig(reinterpret_cast<const char*>(data), size, c, why, sizeof why)) {
        if (std::strlen(why) == 0) std::abort();  // a refusal always says why
        return 0;
    }
    if (c.listenCount < 1 || c.listenCount > kMaxListen || c.userCount < 0 || c.userCount > kMaxUsers) std::abort();
    unsigned char addr[16];
    for (int i = 0; i < c.listenCount; ++i) {
        const ListenAddress& l = c.listen[i];
        if (l.port < 1 || l.port > 65535) std::abort();
        if (inet_pton(AF_INET, l.address, addr) != 1 && inet_pton(AF_INET6, l.address, addr) != 1) std::abort();
    }
    for (int i = 0; i < c.userCount; ++i)
        if (c.users[i].name[0] == '\0' || c.users[i].name[qor::kTextLen - 1] != '\0' || c.users[i].password[0] == '\0')
            std::abort();  // never an empty password
    if (std::strlen(c.serial) > 32) std::abort();
    return 0;
}
