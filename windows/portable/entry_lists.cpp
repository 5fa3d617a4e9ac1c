#include "entry_lists.h"

#include <cstring>

namespace qorwin {
namespace {

std::size_t BuildList(const std::vector<std::string>& texts, unsigned char (&out)[kListSize]) {
    std::memset(out, 0, sizeof out);
    std::size_t used = 0;
    std::size_t stored = 0;
    for (const std::string& t : texts) {
        if (used >= kListUsedLimit) break;
        // Keep the last byte for the empty entry that ends the list.
        if (t.empty() || used + t.size() + 1 > kListUsedLimit) break;
        std::memcpy(out + used, t.data(), t.size());
        used += t.size() + 1;
        ++stored;
    }
    return stored;
}

}  // namespace

std::string TrimBlanks(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

std::size_t BuildAddressList(const std::vector<AddressEntry>& entries,
                             unsigned char (&out)[kListSize]) {
    std::vector<std::string> texts;
    texts.reserve(entries.size());
    for (const AddressEntry& e : entries)
        texts.push_back(TrimBlanks(e.name) + "<" + TrimBlanks(e.address) + ">");
    return BuildList(texts, out);
}

std::size_t BuildPagerList(const std::vector<PagerEntry>& entries, unsigned char (&out)[kListSize]) {
    std::vector<std::string> texts;
    texts.reserve(entries.size());
    // A blank before the number would make the dialer read an empty number.
    for (const PagerEntry& e : entries)
        texts.push_back(TrimBlanks(e.number) + "    " + TrimBlanks(e.name));
    return BuildList(texts, out);
}

std::vector<std::string> ParseEntryList(const unsigned char* bytes, std::size_t size) {
    std::vector<std::string> out;
    if (bytes == nullptr) return out;
    const char* p = reinterpret_cast<const char*>(bytes);
    std::size_t i = 0;
    while (i < size && p[i] != '\0') {
        std::size_t start = i;
        while (i < size && p[i] != '\0') ++i;
        out.emplace_back(p + start, i - start);
        ++i;  // past the NUL
    }
    return out;
}

AddressEntry SplitAddressEntry(const std::string& entry) {
    AddressEntry e;
    std::size_t lt = entry.find('<');
    if (lt == std::string::npos) {
        e.name = entry;
        return e;
    }
    e.name = entry.substr(0, lt);
    std::size_t gt = entry.find('>', lt + 1);
    e.address = entry.substr(lt + 1, gt == std::string::npos ? std::string::npos : gt - lt - 1);
    return e;
}

PagerEntry SplitPagerEntry(const std::string& entry) {
    PagerEntry e;
    std::size_t blank = entry.find(' ');
    if (blank == std::string::npos) {
        e.number = entry;
        return e;
    }
    e.number = entry.substr(0, blank);
    if (blank + 4 < entry.size()) e.name = entry.substr(blank + 4);
    return e;
}

}  // namespace qorwin
