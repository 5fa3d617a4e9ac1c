#include "device_identity.h"

#include <sys/stat.h>

namespace qor {

DeviceId SystemDeviceIdentity::identify(const char* path) {
    DeviceId id;
    struct stat st {};
    if (path == nullptr || path[0] == '\0' || ::stat(path, &st) != 0) return id;
    id.found = true;
    id.device = S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode);
    if (id.device) {
        id.a = st.st_rdev;
    } else {
        id.a = st.st_dev;
        id.b = st.st_ino;
    }
    return id;
}

}  // namespace qor
