// The pppd arguments built from a stored settings record of any content:
// bounded, one word per argument, the account's fields never split or
// joined, and the command-line text saying the same words.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "pppclient.h"

using namespace qor;

namespace {

// The command line split as the child of the original splits it: blanks,
// tabs and line feeds between words; a word starting with a quote runs to
// the matching quote, quotes removed.
std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\n')) ++i;
        if (i >= line.size()) break;
        if (line[i] == '"' || line[i] == '\'') {
            char q = line[i++];
            size_t end = line.find(q, i);
            if (end == std::string::npos) end = line.size();
            out.push_back(line.substr(i, end - i));
            i = end + 1;
        } else {
            size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\n') ++i;
            out.push_back(line.substr(start, i - start));
        }
    }
    return out;
}

bool plainWord(const char* s) {
    for (; *s; ++s)
        if (*s == ' ' || *s == '\t' || *s == '\n' || *s == '"' || *s == '\'') return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kSettingsSize) return 0;
    UpsSettings s;
    std::memset(&s, 0, sizeof s);
    std::memcpy(&s, data, size);  // a damaged file, unterminated texts and all

    PppSettings p = PppSettings::fromSettings(s);
    for (const char* t : {p.user, p.password, p.phone, p.localIp, p.netmask, p.remoteIp})
        FUZZ_CHECK(std::strlen(t) < kPppTextLen);
    FUZZ_CHECK(p.deviceIndex >= 0 && p.deviceIndex < kDeviceTableSize);

    NotifyEnv env;
    PppClient client(&p, ModemCommands::fromSettings(s), env);
    std::vector<std::string> args = client.buildArguments();
    std::string line = client.buildCommandLine();

    FUZZ_CHECK(args.size() >= 5 && args.size() <= 12);  // far below the 99 the child takes
    FUZZ_CHECK(args[0] == "pppd" && args.back() == p.user);
    size_t total = 0;
    for (const std::string& a : args) {
        FUZZ_CHECK(a.find('\0') == std::string::npos);
        total += a.size() + 1;
    }
    FUZZ_CHECK(total <= 2048 && line.size() <= 2048);

    // A user name the secrets file cannot hold never reaches pppd: connect
    // refuses it before anything is dialled.
    bool accepted = !pppSecretsLine(p.user, p.password).empty();
    if (accepted)
        for (const unsigned char* c = reinterpret_cast<const unsigned char*>(p.user); *c; ++c)
            FUZZ_CHECK(*c >= 0x20 && *c != 0x7f);

    // Where no field holds a blank or a quote the text is the same words.
    if (plainWord(p.localIp) && plainWord(p.remoteIp) && plainWord(p.netmask) && std::strchr(p.user, '"') == nullptr &&
        std::strchr(p.user, '\'') == nullptr)
        FUZZ_CHECK(splitWords(line) == args);
    return 0;
}
