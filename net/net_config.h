// /etc/Qor.net: who may follow this UPS over the network, and where the
// server listens. Without the file the server stays off.
//
//   LISTEN 127.0.0.1 3493        several allowed; none: 127.0.0.1 3493
//   USER monuser secret          name and password of a follower
//   USER boss secret2 primary    a follower that may order the others down (FSD)
//   SERIAL AB1234                device.serial; none: one derived from /etc/machine-id
//
// The file holds passwords and decides who may shut machines down: it is read
// only when root alone could have written it (see readTrustedFile).
#pragma once

#include <cstddef>
#include <cstdint>

#include "ups_settings.h"

namespace qor::net {

constexpr const char* kNetConfigPath = "/etc/Qor.net";
constexpr const char* kMachineIdPath = "/etc/machine-id";
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
    bool primary = false;  // may claim the primary's role and order a forced shutdown
};

struct NetConfig {
    ListenAddress listen[kMaxListen];
    int listenCount = 0;
    NetUser users[kMaxUsers];
    int userCount = 0;
    TextField serial = {};  // empty: none given (and none derived yet)
};

// Parses the file's text. False with the reason (for the system log) in
// `why` when a line is damaged; `out` is then not to be used.
bool parseNetConfig(const char* text, size_t len, NetConfig& out, char* why, size_t whySize);

// A serial number that stays the same on this machine and tells nothing of
// its identity: "QOR-" and 16 hex digits, the first 64 bits of the SHA-256
// crypt (kSerialSetting) of the machine id.
// False (and `out` empty) when the id is empty.
constexpr const char kSerialSetting[] = "$5$rounds=5000$qorserial$";
bool serialFromMachineId(const char* machineId, size_t len, TextField& out);

enum class NetConfigResult { Absent, Loaded, Failed };

// Reads and parses the file, and derives the serial when it names none. A
// damaged, unreadable or forgeable file is Failed, after one line to the
// system log; a missing one is Absent and logs nothing.
NetConfigResult loadNetConfig(const char* path, NetConfig& out, const char* machineIdPath = kMachineIdPath);

}  // namespace qor::net
