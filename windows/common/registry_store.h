// The settings key in HKEY_LOCAL_MACHINE, opened and closed for each access.
#pragma once

#include "settings_store.h"

namespace qorwin {

class RegistryStore : public SettingsStore {
public:
    RegistryStore();  // the Halvora key
    explicit RegistryStore(const char* subKey);

    bool EnsureKey() override;
    bool Exists(const char* name) override;
    bool Read(const char* name, ValueKind kind, void* buf, std::uint32_t size, std::uint32_t* got) override;
    bool Write(const char* name, ValueKind kind, const void* data, std::uint32_t size) override;

private:
    const char* subKey_;
};

}  // namespace qorwin
