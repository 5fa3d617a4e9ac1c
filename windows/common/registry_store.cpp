#include "registry_store.h"

#include <cstring>
#include <vector>

#include "access_faults.h"
#include "registry_values.h"
#include "win_raii.h"

namespace qorwin {
namespace {

// Every outcome on the Halvora key counts: without administrator rights the
// full-access open is refused, and the monitor then stores and reads nothing.
bool Report(const char* subKey, bool ok) {
    if (std::strcmp(subKey, kQorKeyPath) == 0) ProcessAccessFaults().Report(kFaultSettingsKey, ok);
    return ok;
}

UniqueKey OpenKey(const char* subKey) {
    HKEY key = nullptr;
    if (!Report(subKey, RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS))
        return UniqueKey();
    return UniqueKey(key);
}

DWORD RegType(ValueKind kind) {
    switch (kind) {
    case ValueKind::String: return REG_SZ;
    case ValueKind::Dword: return REG_DWORD;
    case ValueKind::Binary: break;
    }
    return REG_BINARY;
}

}  // namespace

RegistryStore::RegistryStore() : subKey_(kQorKeyPath) {}
RegistryStore::RegistryStore(const char* subKey) : subKey_(subKey) {}

bool RegistryStore::EnsureKey() {
    if (OpenKey(subKey_)) return true;
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (!Report(subKey_, RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey_, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_ALL_ACCESS, nullptr, &key, &disposition) == ERROR_SUCCESS))
        return false;
    UniqueKey owned(key);
    return true;
}

bool RegistryStore::Exists(const char* name) {
    UniqueKey key = OpenKey(subKey_);
    if (!key) return false;
    LONG rc = RegQueryValueExA(key.get(), name, nullptr, nullptr, nullptr, nullptr);
    return rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA;
}

bool RegistryStore::Read(const char* name, ValueKind kind, void* buf, std::uint32_t size, std::uint32_t* got) {
    UniqueKey key = OpenKey(subKey_);
    if (!key || buf == nullptr) return false;
    // Read into a copy: on failure the caller's buffer keeps its content.
    std::vector<BYTE> tmp(size ? size : 1);
    DWORD type = 0;
    DWORD len = size;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, tmp.data(), &len) != ERROR_SUCCESS) return false;
    if (kind == ValueKind::Dword && (type != REG_DWORD || len != 4)) return false;
    if (kind == ValueKind::String && type != REG_SZ && type != REG_EXPAND_SZ) return false;
    std::memcpy(buf, tmp.data(), len);
    if (got) *got = len;
    return true;
}

bool RegistryStore::Write(const char* name, ValueKind kind, const void* data, std::uint32_t size) {
    UniqueKey key = OpenKey(subKey_);
    if (!key) return false;
    return Report(subKey_, RegSetValueExA(key.get(), name, 0, RegType(kind), static_cast<const BYTE*>(data),
                                          size) == ERROR_SUCCESS);
}

}  // namespace qorwin
