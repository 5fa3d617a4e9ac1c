#include "openssl_api.h"

#include <dlfcn.h>

#include <mutex>

namespace qor {

bool loadOpenSsl(const char* soname, OpenSslApi& api) {
    api = OpenSslApi{};
    // Never closed: libcrypto stays mapped for its own exit handlers anyway.
    void* lib = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return false;
    bool all = true;
    // The handle's lookup scope takes in libcrypto, which libssl needs.
#define QOR_OPENSSL_RESOLVE(name)                                               \
    api.name = reinterpret_cast<decltype(&::name)>(dlsym(lib, #name));         \
    all = all && api.name != nullptr;
    QOR_OPENSSL_FUNCTIONS(QOR_OPENSSL_RESOLVE)
#undef QOR_OPENSSL_RESOLVE
    if (all) return true;
    dlclose(lib);
    api = OpenSslApi{};
    return false;
}

const OpenSslApi* openSsl() {
    // Process-wide like the library itself; read-only once filled.
    static OpenSslApi api;
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] { loaded = loadOpenSsl(kOpenSslLibrary, api); });
    return loaded ? &api : nullptr;
}

}  // namespace qor
