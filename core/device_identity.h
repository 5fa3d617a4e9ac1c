// Whether two paths lead to the same device, however they are spelt: a
// /dev/serial/by-id link and the node it names are one port.
#pragma once

#include <cstdint>

namespace qor {

struct DeviceId {
    bool found = false;   // false: nothing at the path (or it could not be read)
    bool device = false;  // a character or block device: `a` is its device number
    uint64_t a = 0;       // device number, or the file system's for a plain file
    uint64_t b = 0;       // 0 for a device, the inode for a plain file
};

// Two devices are the same node when their device numbers agree; anything
// else (a plain file standing in for a port) when file system and inode do.
// Nothing found is the same as nothing.
inline bool sameDevice(const DeviceId& x, const DeviceId& y) {
    return x.found && y.found && x.device == y.device && x.a == y.a && x.b == y.b;
}

class DeviceIdentity {
public:
    virtual ~DeviceIdentity() = default;
    virtual DeviceId identify(const char* path) = 0;  // after every link
};

// stat(): reads the node's identity, never opens it.
class SystemDeviceIdentity : public DeviceIdentity {
public:
    DeviceId identify(const char* path) override;
};

}  // namespace qor
