// The Windows edition's registry values of any kind, size and content, in
// the in-memory key the unit tests use: the defaults written at start, then
// every reader of the records, event values and lists, and their writers
// again with what was read.
#include <cstring>
#include <string>
#include <vector>

#include "email_setting.h"
#include "entry_lists.h"
#include "event_value.h"
#include "fuzz_support.h"
#include "memory_store.h"
#include "modem_setting.h"
#include "registry_values.h"

using namespace qorwin;

namespace {

template <std::size_t N>
bool terminated(const char (&f)[N]) {
    return std::memchr(f, '\0', N) != nullptr;
}

void checkEventValue(const unsigned char* bytes, std::size_t size) {
    EventValue ev = ParseEventValue(bytes, size);
    FUZZ_CHECK(terminated(ev.text));
    std::size_t len = std::strlen(ev.text);
    FUZZ_CHECK(len <= size && std::memchr(ev.text, ',', len) == nullptr);
    FUZZ_CHECK(std::memcmp(ev.text, bytes, len) == 0);
    unsigned char out[kEventValueSize];
    FormatEventValue(ev.text, ev.channels, out);
    FUZZ_CHECK(out[kEventValueSize - 1] == '\0');
    EventValue back = ParseEventValue(out, sizeof out);
    FUZZ_CHECK(back.channels == ev.channels);
    FUZZ_CHECK(std::strncmp(back.text, ev.text, std::strlen(back.text)) == 0);
}

void checkEmailSetting(const unsigned char* bytes, std::size_t size) {
    EmailSetting s = UnpackEmailSetting(bytes, size);
    FUZZ_CHECK(terminated(s.userName) && terminated(s.password) && terminated(s.smtpServer) &&
               terminated(s.connectionName));
    unsigned char out[kEmailSettingSize];
    PackEmailSetting(s, out);
    EmailSetting back = UnpackEmailSetting(out, sizeof out);
    FUZZ_CHECK(std::memcmp(&back, &s, sizeof s) == 0);
}

// A block built by either list writer: the 2047-byte rule and the empty
// entry at its end, and the entries read back as they were stored.
void checkBuiltList(const unsigned char (&block)[kListSize], std::size_t stored) {
    FUZZ_CHECK(block[kListSize - 1] == '\0');
    std::vector<std::string> back = ParseEntryList(block, kListSize);
    FUZZ_CHECK(back.size() == stored);
    std::size_t used = 0;
    for (const std::string& e : back) used += e.size() + 1;
    FUZZ_CHECK(used <= kListUsedLimit);
}

void checkLists(const unsigned char* bytes, std::size_t size) {
    std::vector<std::string> entries = ParseEntryList(bytes, size);
    std::size_t total = 0;
    std::vector<AddressEntry> addresses;
    std::vector<PagerEntry> pagers;
    for (const std::string& e : entries) {
        FUZZ_CHECK(!e.empty() && e.find('\0') == std::string::npos);
        total += e.size() + 1;
        addresses.push_back(SplitAddressEntry(e));
        pagers.push_back(SplitPagerEntry(e));
        FUZZ_CHECK(pagers.back().number.find(' ') == std::string::npos);
    }
    FUZZ_CHECK(total <= size + 1);
    unsigned char block[kListSize];
    checkBuiltList(block, BuildAddressList(addresses, block));
    checkBuiltList(block, BuildPagerList(pagers, block));
}

void checkModemSetting(const unsigned char* bytes, std::size_t size) {
    ModemSetting m = DefaultModemSetting();
    if (ParseModemSetting(bytes, size, m)) {
        FUZZ_CHECK(PortIndex(m.port) >= 0 && BaudIndex(m.baud) >= 0);
        FUZZ_CHECK(m.parity >= 0 && m.parity < kParityCount && m.dataBits >= 0 && m.dataBits < kDataBitsCount &&
                   m.stopBits >= 0 && m.stopBits < kStopBitsCount);
        unsigned char out[kModemSettingSize];
        FormatModemSetting(m, out);
        ModemSetting back{};
        FUZZ_CHECK(ParseModemSetting(out, sizeof out, back));
        FUZZ_CHECK(std::strcmp(back.port, m.port) == 0 && std::strcmp(back.baud, m.baud) == 0 &&
                   back.parity == m.parity && back.dataBits == m.dataBits && back.stopBits == m.stopBits);
    }
    DialerSetting d{};
    int n = ParseDialerSetting(bytes, size, d);
    FUZZ_CHECK(n >= 0 && n <= 7);
    FUZZ_CHECK(terminated(d.port) && terminated(d.initString) && terminated(d.dialPrefix));
    if (n < 7) FUZZ_CHECK(d.initString[0] == '\0' && d.dialPrefix[0] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    qor::fuzz::Cursor in(data, size);
    std::uint32_t count = 0;
    const ValueLayout* layouts = AllValueLayouts(&count);
    testing::MemoryStore store;
    while (in.left() > 0) {
        const ValueLayout& l = layouts[in.byte() % count];
        ValueKind kind = static_cast<ValueKind>(in.byte() % 3);
        std::string bytes = in.piece(4200);
        // Each reader also takes the bytes as they are, at any size.
        const auto* raw = reinterpret_cast<const unsigned char*>(bytes.data());
        checkEventValue(raw, bytes.size());
        checkEmailSetting(raw, bytes.size());
        checkLists(raw, bytes.size());
        checkModemSetting(raw, bytes.size());
        store.Put(l.name, kind, bytes);
    }

    WriteMissingDefaults(store);
    // Every default is there now, readable with its size.
    for (const char* name : {value::kPowerFailWarning, value::kPowerRestored, value::kBatteryLow,
                             value::kEmailSetting, value::kEmailAddress, value::kModemSetting, value::kPagerNumber}) {
        const ValueLayout* l = FindValueLayout(name);
        FUZZ_CHECK(l != nullptr);
        // An event value keeps a text of up to 255 characters, so it may be
        // longer than its layout; its readers take kEventValueMaxSize.
        bool event = std::strcmp(name, value::kPowerFailWarning) == 0 ||
                     std::strcmp(name, value::kPowerRestored) == 0 || std::strcmp(name, value::kBatteryLow) == 0;
        std::vector<unsigned char> buf(event ? kEventValueMaxSize : l->size);
        FUZZ_CHECK(ReadBlock(store, name, buf.data(), buf.size()));
    }

    // What the program reads, into the buffers it reads them into.
    char port[kPortBufferSize];
    std::memset(port, 'x', sizeof port);
    if (ReadText(store, value::kPort, port, sizeof port)) FUZZ_CHECK(terminated(port));
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t v = 7;
        if (layouts[i].kind == ValueKind::Dword && !ReadDword(store, layouts[i].name, v)) FUZZ_CHECK(v == 7);
        char text[kModemStringSize + 1];
        if (layouts[i].kind == ValueKind::String && ReadText(store, layouts[i].name, text, sizeof text))
            FUZZ_CHECK(terminated(text));
    }
    unsigned char ev[kEventValueSize];
    for (const char* name : {value::kPowerFailWarning, value::kPowerRestored, value::kBatteryLow})
        if (ReadBlock(store, name, ev, sizeof ev)) checkEventValue(ev, sizeof ev);
    unsigned char email[kEmailSettingSize];
    if (ReadBlock(store, value::kEmailSetting, email, sizeof email)) checkEmailSetting(email, sizeof email);
    unsigned char list[kListSize];
    for (const char* name : {value::kEmailAddress, value::kPagerNumber})
        if (ReadBlock(store, name, list, sizeof list)) checkLists(list, sizeof list);
    unsigned char modem[kModemSettingSize];
    if (ReadBlock(store, value::kModemSetting, modem, sizeof modem)) checkModemSetting(modem, sizeof modem);
    return 0;
}
