// What an SMTP server says, in pieces at any moments, with telnet
// negotiation, failures and an early close: the reply reader as the Linux
// client uses it (first line, telnet answered, 1024 bytes) and as the
// Windows mail thread does (whole reply, three-digit code, 1000 bytes).
#include <cstring>
#include <deque>

#include "fuzz_support.h"
#include "scripted_source.h"
#include "smtp_reply.h"

using namespace qor;
using common::ReadEnd;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    fuzz::Cursor in(data, size);
    uint8_t mode = in.byte();
    bool windows = mode & 1;
    int timeout = in.u16();
    bool closes = mode & 2;
    std::deque<common::Script::Piece> pieces;
    long long at = 0;
    size_t fed = 0;
    while (in.left() > 0) {
        uint8_t how = in.byte();
        at += how & 0x7f;
        common::Script::Piece p{at, in.piece(600)};
        p.fail = (how & 0x80) != 0 && (how & 0x0f) == 0;
        fed += p.bytes.size();
        pieces.push_back(std::move(p));
    }
    common::Script src(std::move(pieces), closes);
    src.costMs = (mode >> 2) & 3;

    const size_t cap = windows ? 1001 : 1024;
    std::string buf(cap, '\x55');
    common::LineOptions opt{timeout, !windows};
    for (int round = 0; round < 32; ++round) {
        long long before = src.nowMs();
        common::ReadResult how{};
        int32_t code = common::readSmtpReply(src, &buf[0], cap, opt, windows, &how);
        FUZZ_CHECK(how.length < cap && buf[how.length] == '\0');
        if (code == -1) {
            FUZZ_CHECK(how.length == 0);
        } else {
            FUZZ_CHECK(code >= 0 && code <= 999999999);
            FUZZ_CHECK(common::smtpReplyCode(buf.c_str(), 3) <= 999);
        }
        // Every line is bounded by the time-out, so a reply is bounded by the
        // lines the input can hold (one read may cost its own milliseconds).
        long long lines = windows ? static_cast<long long>(fed / 2 + 1) : 1;
        FUZZ_CHECK(src.nowMs() - before <= lines * (timeout + 3 * 3 + 1));
        // The telnet answers are whole: IAC, DONT or WONT, the option.
        FUZZ_CHECK(src.written.size() % 3 == 0);
        if (how.end != ReadEnd::Complete) break;
    }
    if (windows) FUZZ_CHECK(src.written.empty());
    return 0;
}
