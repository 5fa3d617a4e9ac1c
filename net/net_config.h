// /etc/Qor.net: who may follow this UPS over the network, and where the
// server listens. Without the file the server stays off.
//
//   LISTEN 127.0.0.1 3493        several allowed; none: 127.0.0.1 3493
//   USER monuser secret          name and password of a follower
#pragma once

#include <cstddef>
#include <cstdint>

#include "ups_settings.h"

namespace qor::net {

constexpr const char* kNetConfigPath = "/etc/Qor.net";
constexpr int kDefaultPort = 3493;
constexpr int kMaxListen = 8;
constexpr int kMaxUsers = 16;
constexpr size_t kMaxConfigBytes = 65536;

struct ListenAddress {
    char address[64] = {};  // numeric IPv4 or IPv6 address
    int port = kDefaultPort;
};

struct NetUser {
    TextField name = {};
    TextField password = {};
};

struct NetConfig {
    ListenAddress listen[kMaxListen];
    int listenCount = 0;
    NetUser users[kMaxUsers];
    int userCount = 0;
};

// Parses the file's text. False with the reason (for the system log) in
// `why` when a line is damaged; `out` is then not to be used.
bool parseNetConfig(const char* text, size_t len, NetConfig& out, char* why, size_t whySize);

enum class NetConfigResult { Absent, Loaded, Failed };

// Reads and parses the file. A damaged or unreadable file is Failed, after one
// line to the system log; a missing one is Absent and logs nothing.
NetConfigResult loadNetConfig(const char* path, NetConfig& out);

}  // namespace qor::net
