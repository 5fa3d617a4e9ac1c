// The portable layer: line and chunk reads over a scripted source whose clock
// only moves when the reader waits, SMTP replies and classes, pager digits
// and little-endian records.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>

#include "le_record.h"
#include "line_reader.h"
#include "pager_digits.h"
#include "scripted_source.h"
#include "smtp_reply.h"

namespace qor::common {
namespace {

TEST(LineReader, LinesEndOnCrLfWhateverTheSegmentsAndTheyAreBounded) {
    struct Case {
        const char* what;
        std::deque<Script::Piece> in;
        bool closes;
        std::string line;
        ReadEnd end;
    };
    const std::string flood(3000, 'x');
    Case cases[] = {
        {"one segment", {{0, "250 ok\r\nnext\r\n"}}, false, "250 ok\r\n", ReadEnd::Complete},
        {"split across segments", {{0, "25"}, {400, "0 o"}, {900, "k\r\n"}}, false, "250 ok\r\n", ReadEnd::Complete},
        {"a CR inside the line", {{0, "a\rb\r\n"}}, false, "a\rb\r\n", ReadEnd::Complete},
        {"peer closes mid-line", {{0, "22"}}, true, "22", ReadEnd::EndOfStream},
        {"read fails mid-line", {{0, "22"}, {5, "", true}}, false, "22", ReadEnd::Failed},
        {"silence", {}, false, "", ReadEnd::TimedOut},
        {"line finished too late", {{0, "250"}, {1500, " ok\r\n"}}, false, "", ReadEnd::TimedOut},
        {"overlong line is cut", {{0, flood + "\r\n"}}, false, flood.substr(0, 63), ReadEnd::Complete},
    };
    for (auto& c : cases) {
        Script s(c.in, c.closes);
        char buf[64];
        ReadResult r = readLine(s, buf, sizeof buf, {1000, true});
        EXPECT_EQ(std::string(buf), c.line) << c.what;
        EXPECT_EQ(r.length, c.line.size()) << c.what;
        EXPECT_EQ(r.end, c.end) << c.what;
        EXPECT_LE(s.nowMs(), 1000) << c.what;
    }
}

TEST(LineReader, AnEndlessTrickleIsCutAtTheBound) {
    std::deque<Script::Piece> trickle;
    for (int i = 0; i < 5000; ++i) trickle.push_back({i, "x"});
    Script s(trickle);
    char buf[32];
    EXPECT_EQ(readLine(s, buf, sizeof buf, {1000, false}).end, ReadEnd::TimedOut);
    EXPECT_LE(s.nowMs(), 1001);
}

TEST(LineReader, TelnetNegotiationIsAnsweredAndNotStored) {
    const std::string in = std::string("\xff\xfb\x01\xff\xfd\x03\xff\xf1", 8) + "220 hi\r\n";
    Script s({{0, in}});
    char buf[64];
    readLine(s, buf, sizeof buf, {1000, true});
    EXPECT_STREQ(buf, "220 hi\r\n");
    EXPECT_EQ(s.written, std::string("\xff\xfe\x01\xff\xfc\x03", 6));
    // Without telnet handling the bytes are data.
    Script raw({{0, "\xff\xfb" "A\r\n"}});
    readLine(raw, buf, sizeof buf, {1000, false});
    EXPECT_STREQ(buf, "\xff\xfb" "A\r\n");
}

TEST(ChunkReader, TakesWhatIsWaitingDropsBlanksAndClearsTheTopBit) {
    struct Case {
        const char* what;
        std::deque<Script::Piece> in;
        std::string chunk;
        ReadEnd end;
    };
    Case cases[] = {
        {"echo and answer", {{10, "ATZ\r\r\nOK\r\n"}, {500, "LATER"}}, "ATZOK", ReadEnd::Complete},
        {"two words run together", {{0, "NO DIALTONE\r\n"}}, "NODIALTONE", ReadEnd::Complete},
        {"parity bit", {{0, "\xcf\xcb"}}, "OK", ReadEnd::Complete},
        // A NUL would hide the rest of the chunk from the answer checks.
        {"line noise", {{0, std::string("\x80O\0K\r\n", 6)}}, "OK", ReadEnd::Complete},
        {"parity on the blank", {{0, "NO\xa0" "DIALTONE\x8d\x8a"}}, "NODIALTONE", ReadEnd::Complete},
        {"silence", {}, "", ReadEnd::TimedOut},
        {"failure", {{0, "", true}}, "", ReadEnd::Failed},
    };
    for (auto& c : cases) {
        Script s(c.in);
        char buf[16];
        ReadResult r = readChunk(s, buf, sizeof buf, {300, 1000});
        EXPECT_EQ(std::string(buf), c.chunk) << c.what;
        EXPECT_EQ(r.length, c.chunk.size()) << c.what;
        EXPECT_EQ(r.end, c.end) << c.what;
    }
    // A line that never falls quiet: the chunk ends at its bound, full to the brim.
    Script s({{0, std::string(200000, 'z')}});
    s.costMs = 1;
    char buf[16];
    ReadResult r = readChunk(s, buf, sizeof buf, {300, 1000});
    EXPECT_EQ(r.length, 15u);
    EXPECT_EQ(r.end, ReadEnd::Complete);
    EXPECT_GE(s.nowMs(), 1000);
    EXPECT_LE(s.nowMs(), 1002);
}

TEST(SmtpReply, CodesContinuationsAndWholeReplies) {
    EXPECT_EQ(smtpReplyCode("250 ok"), 250);
    EXPECT_EQ(smtpReplyCode("ok"), 0);
    EXPECT_EQ(smtpReplyCode("2501 x", 3), 250);
    EXPECT_EQ(smtpReplyCode("99999999999999"), 999999999);
    EXPECT_TRUE(smtpReplyContinues("220-first"));
    EXPECT_FALSE(smtpReplyContinues("220 last"));
    EXPECT_FALSE(smtpReplyContinues("-220"));

    const char* reply = "250-a\r\n250-b\r\n251 c\r\n";
    char buf[64];
    Script first({{0, reply}});
    EXPECT_EQ(readSmtpReply(first, buf, sizeof buf, {1000, true}, false), 250);
    EXPECT_STREQ(buf, "250-a\r\n");
    Script whole({{0, reply}});
    EXPECT_EQ(readSmtpReply(whole, buf, sizeof buf, {1000, true}, true), 251);
    EXPECT_STREQ(buf, "251 c\r\n");
    Script cut({{0, "250-a\r\n"}});
    EXPECT_EQ(readSmtpReply(cut, buf, sizeof buf, {1000, true}, true), -1);
    Script silent({});
    EXPECT_EQ(readSmtpReply(silent, buf, sizeof buf, {1000, true}, false), -1);
}

TEST(SmtpReply, ErrorClassesByStep) {
    struct Case {
        SmtpStep step;
        NetError err;
        int32_t code;
        int32_t cls;
        const char* text;
    };
    const Case cases[] = {
        {SmtpStep::Resolve, NetError::Other, SmtpHostNotFound, 3, "The server was not found"},
        {SmtpStep::Resolve, NetError::Other, SmtpNoData, 3, "The server was not found"},
        {SmtpStep::Resolve, NetError::Other, SmtpUnknownError, 0, ""},
        {SmtpStep::Socket, NetError::TooManyFiles, 0, 9, "Cannot get required system resources"},
        {SmtpStep::Connect, NetError::TimedOut, 0, 6, "The connection attempt to the server timed out"},
        {SmtpStep::Connect, NetError::Refused, 0, 8, "The connection was refused by the server"},
        {SmtpStep::Connect, NetError::Unreachable, 0, 5, "The network is unreachable"},
        {SmtpStep::Send, NetError::NoBuffers, 0, 9, "Cannot get required system resources"},
        {SmtpStep::Send, NetError::TooManyFiles, 0, 0, ""},
        {SmtpStep::Wait, NetError::TimedOut, 0, 6, "Timed out while waiting for the server"},
        {SmtpStep::Read, NetError::TimedOut, 0, 0, ""},
    };
    for (const Case& c : cases) {
        SmtpClass k = smtpClassify(c.step, c.err, c.code);
        EXPECT_EQ(k.cls, c.cls) << c.text;
        EXPECT_STREQ(k.text, c.text);
    }
    EXPECT_STREQ(smtpCodeText(SmtpBadUsage), "(MIME++) bad library usage");
    EXPECT_EQ(smtpCodeText(5), nullptr);
    EXPECT_EQ(smtpResolverCode(ResolveFailure::TryAgain), SmtpTryAgain);
    EXPECT_EQ(smtpResolverCode(ResolveFailure::Other), SmtpUnknownError);
}

TEST(PagerDigits, TheCodeAsAtLeastTwoDigitsAndAHash) {
    EXPECT_EQ(pagerCodeDigits(0), "00");
    EXPECT_EQ(pagerCodeDigits(3), "03");
    EXPECT_EQ(pagerCodeDigits(123), "123");
    EXPECT_EQ(pagerDialText("ATDT", "555-1234", "# , , , , , , , ", 1), "ATDT555-1234# , , , , , , , 01#");
    EXPECT_EQ(pagerDialText("ATDT9,", "5551234", ",,,,,", 2), "ATDT9,5551234,,,,,02#");
}

TEST(LeRecord, IntegersAndTextFieldsAtOffsetsWithinBounds) {
    unsigned char rec[16];
    std::memset(rec, 0xAA, sizeof rec);
    EXPECT_TRUE(putLe32(rec, sizeof rec, 0, 0x01020304u));
    EXPECT_EQ(rec[0], 0x04);
    EXPECT_EQ(rec[3], 0x01);
    EXPECT_TRUE(putLe32(rec, sizeof rec, 4, 0xFFFFFFFEu));
    EXPECT_EQ(getLe32(rec, sizeof rec, 0), 0x01020304u);
    EXPECT_EQ(getLe32s(rec, sizeof rec, 4), -2);
    EXPECT_FALSE(putLe32(rec, sizeof rec, 13, 1));  // would run past the end
    EXPECT_EQ(getLe32(rec, sizeof rec, 13), 0u);
    EXPECT_EQ(getLe32(rec, sizeof rec, ~std::size_t{0}), 0u);

    EXPECT_TRUE(putText(rec, sizeof rec, 8, 4, "abcdef"));  // cut to 3 and a NUL
    EXPECT_EQ(std::memcmp(rec + 8, "abc\0", 4), 0);
    EXPECT_EQ(rec[12], 0xAA);  // the next field is untouched
    EXPECT_TRUE(putText(rec, sizeof rec, 8, 4, nullptr));
    EXPECT_EQ(std::memcmp(rec + 8, "\0\0\0\0", 4), 0);
    EXPECT_FALSE(putText(rec, sizeof rec, 14, 4, "x"));

    char out[8];
    std::memcpy(rec + 8, "wxyz", 4);  // stored without its NUL
    EXPECT_EQ(getText(rec, sizeof rec, 8, 4, out, sizeof out), 4u);
    EXPECT_STREQ(out, "wxyz");
    EXPECT_EQ(getText(rec, sizeof rec, 8, 4, out, 3), 2u);
    EXPECT_STREQ(out, "wx");
    EXPECT_EQ(getText(rec, sizeof rec, 14, 4, out, sizeof out), 0u);
    EXPECT_STREQ(out, "");
}

}  // namespace
}  // namespace qor::common
