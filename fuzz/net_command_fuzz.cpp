// The UPS network command language: every line a client may send. The first
// byte picks the UPS state; the rest is lines, one connection after another
// (a primary, a secondary, logins, FSD, tracking, every GET and LIST).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "command_words.h"
#include "net_config.h"
#include "ups_protocol.h"

using namespace qor::net;

namespace {

const NetConfig& users() {
    static NetConfig config = [] {
        NetConfig c;
        char why[128];
        const char text[] = "USER mon secret\nUSER \"a b\" \"c\"\nUSER boss b0ss primary\nSERIAL QOR-1\n";
        if (!parseNetConfig(text, sizeof text - 1, c, why, sizeof why)) std::abort();
        return c;
    }();
    return config;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    UpsProtocol p(users());
    p.setState(data[0] & 3, static_cast<int32_t>(data[0]) * 1000 - 100000, "/dev/ttyS0");
    const char* text = reinterpret_cast<const char*>(data + 1);
    size_t len = size - 1;
    Session sessions[2];
    int current = 0;
    p.attach(&sessions[0]);
    p.attach(&sessions[1]);
    size_t pos = 0;
    while (pos < len) {
        const char* nl = static_cast<const char*>(std::memchr(text + pos, '\n', len - pos));
        size_t end = nl ? static_cast<size_t>(nl - text) : len;
        char buf[kMaxReply];
        Reply r(buf, sizeof buf);
        After after = p.handle(sessions[current], text + pos, end - pos, r);
        // Every command is answered, whole, within the bound the server reserves
        // (the list of clients may go beyond it, in memory of its own);
        // only a broken line (a quote left open) goes unanswered.
        Words w;
        bool broken = !splitWords(text + pos, end - pos, w);
        if (r.overflowed() || (r.size() == 0) != broken || (r.size() > 0 && r.data()[r.size() - 1] != '\n')) std::abort();
        if (p.loginCount() < 0 || p.loginCount() > 2) std::abort();
        if (after == After::Close) {
            p.detach(&sessions[current]);
            sessions[current] = Session{};
            p.attach(&sessions[current]);
            current ^= 1;
        }
        pos = end + 1;
    }
    return 0;
}
