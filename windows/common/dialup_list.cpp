#include "dialup_list.h"

#include <windows.h>
#include <ras.h>

#include <cstddef>

#include "dialup_entries.h"
#include "win_raii.h"

namespace qorwin {
namespace {

static_assert(sizeof(RASENTRYNAMEA) == kDialupEntrySize, "phone-book record size");
static_assert(offsetof(tagRASENTRYNAMEA, szEntryName) == kDialupNameOffset, "phone-book name offset");
static_assert(sizeof(tagRASENTRYNAMEA::szEntryName) == kDialupNameSize, "phone-book name size");

using RasEnumEntriesFn = DWORD(WINAPI*)(LPCSTR, LPCSTR, LPRASENTRYNAMEA, LPDWORD, LPDWORD);

}  // namespace

std::vector<std::string> LoadDialupEntries(const char* library) {
    UniqueModule ras(LoadLibraryA(library));
    if (!ras) return {};
    auto fn = reinterpret_cast<RasEnumEntriesFn>(
        reinterpret_cast<void*>(GetProcAddress(ras.get(), "RasEnumEntriesA")));
    if (!fn) return {};
    return ListDialupEntries([fn](unsigned char* buf, std::uint32_t* bytes, std::uint32_t* entries) {
        DWORD size = *bytes;
        DWORD count = 0;
        DWORD rc = fn(nullptr, nullptr, reinterpret_cast<LPRASENTRYNAMEA>(buf), &size, &count);
        *bytes = size;
        *entries = count;
        return static_cast<std::uint32_t>(rc);
    });
}

}  // namespace qorwin
