// What a modem says, split into pieces at any moments, with failures and an
// end of stream anywhere: the chunk reader under the answer checks.
#include <cstring>
#include <deque>

#include "fuzz_support.h"
#include "line_reader.h"
#include "scripted_source.h"

using namespace qor;
using common::ReadEnd;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    fuzz::Cursor in(data, size);
    int firstWait = in.u16();
    int total = in.u16();
    size_t cap = 1 + in.byte() * 5;  // 1..1276, the driver's 1024 among them
    bool closes = in.byte() & 1;
    std::deque<common::Script::Piece> pieces;
    long long at = 0;
    while (in.left() > 0) {
        uint8_t how = in.byte();
        at += how & 0x7f;
        common::Script::Piece p{at, in.piece(300)};
        p.fail = (how & 0x80) != 0 && (how & 0x0f) == 0;
        pieces.push_back(std::move(p));
    }
    common::Script src(std::move(pieces), closes);
    src.costMs = 1;

    std::string buf(cap, '\x55');
    // The driver reads answer after answer until one holds what it waits for.
    for (int round = 0; round < 64; ++round) {
        long long before = src.nowMs();
        common::ReadResult r = common::readChunk(src, &buf[0], cap, {firstWait, total});
        FUZZ_CHECK(r.length < cap);
        FUZZ_CHECK(buf[r.length] == '\0');
        // What the answer checks search is the whole chunk.
        FUZZ_CHECK(std::strlen(buf.c_str()) == r.length);
        for (size_t i = 0; i < r.length; ++i) {
            unsigned char c = static_cast<unsigned char>(buf[i]);
            FUZZ_CHECK(c < 0x80 && c != '\r' && c != '\n' && c != ' ');
        }
        if (r.end == ReadEnd::TimedOut) FUZZ_CHECK(r.length == 0);
        // However the modem talks, one read ends by its bounds (one read of
        // the script may cost a millisecond more).
        FUZZ_CHECK(src.nowMs() - before <= static_cast<long long>(firstWait) + total + 2 * 64 + 2);
        bool done = std::strstr(buf.c_str(), "OK") || std::strstr(buf.c_str(), "CONNECT") ||
                    std::strchr(buf.c_str(), '~') || std::strstr(buf.c_str(), "VCON") ||
                    std::strstr(buf.c_str(), "NODIALTONE") || std::strstr(buf.c_str(), "BUSY");
        if (done || r.end != ReadEnd::Complete) break;
    }
    return 0;
}
