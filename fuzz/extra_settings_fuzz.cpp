// /etc/Qor.extra as whatever bytes the file may hold: a refusal says why,
// what is accepted stays within its bounds, and what is written back parses
// into the same settings.
#include <cstdint>
#include <cstring>

#include "extra_settings.h"
#include "fuzz_support.h"

using namespace qor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ExtraSettings s;
    char why[256];
    if (!parseExtraSettings(reinterpret_cast<const char*>(data), size, s, why, sizeof why)) {
        FUZZ_CHECK(std::strlen(why) > 0);
        FUZZ_CHECK(s == ExtraSettings{});
        return 0;
    }
    FUZZ_CHECK(s.ports.size() <= static_cast<size_t>(kMaxExtraPorts));
    FUZZ_CHECK(s.commands.size() <= static_cast<size_t>(kMaxCommands));
    for (const std::string& p : s.ports) FUZZ_CHECK(p.size() < 256 && p[0] == '/');
    for (const ExtraCommand& c : s.commands) {
        FUZZ_CHECK(c.events != 0 && (c.events & ~kCommandAllEvents) == 0);
        FUZZ_CHECK(!c.argv.empty() && c.argv.size() <= static_cast<size_t>(kMaxCommandWords) && c.argv[0][0] == '/');
        for (const std::string& a : c.argv) FUZZ_CHECK(a.find('\0') == std::string::npos);
    }
    FUZZ_CHECK(s.mailUser.empty() == s.mailPassword.empty());
    FUZZ_CHECK(s.mailUser.empty() || s.mailSecurity != MailSecurity::Plain);
    std::string text = formatExtraSettings(s);
    ExtraSettings back;
    FUZZ_CHECK(parseExtraSettings(text.data(), text.size(), back, why, sizeof why));
    FUZZ_CHECK(back == s);
    return 0;
}
