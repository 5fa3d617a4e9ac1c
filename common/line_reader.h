// Bounded reads over a ByteSource: one text line (SMTP replies) or one
// chunk of whatever a modem has said.
//
// Contract: the buffer is always NUL-terminated; bytes beyond `cap - 1` are
// read and dropped, never stored; the whole read ends by the given time
// bound however fast or slow the peer sends. The result says how the read
// ended and how many bytes were stored.
#pragma once

#include <cstddef>

#include "byte_source.h"

namespace qor::common {

enum class ReadEnd {
    Complete,     // line: CR LF seen; chunk: nothing more was waiting
    EndOfStream,  // the peer closed (what was stored is kept)
    Failed,       // the source reported an error (what was stored is kept)
    TimedOut,     // the time bound passed (the buffer is emptied)
};

struct ReadResult {
    ReadEnd end;
    std::size_t length;  // bytes stored
};

// Telnet negotiation inside the stream: IAC WILL/WONT x is answered IAC DONT
// x, IAC DO/DONT x is answered IAC WONT x, IAC and any other byte are dropped;
// none of these bytes is stored.
struct LineOptions {
    int timeoutMs;  // bounds the whole line, first byte to line end
    bool telnet;
};

// One line: bytes up to and including CR LF (after a CR the next byte is
// stored too; the line is complete when it is LF).
ReadResult readLine(ByteSource& src, char* buf, std::size_t cap, const LineOptions& opt);

// One modem chunk: waits up to `firstWaitMs` for the first byte, then takes
// what is waiting until nothing more is, or until `totalMs` has passed since
// the first byte. Every byte is taken with its top bit cleared (a parity
// bit); then CR, LF, space and NUL are dropped and the rest stored, so the
// stored length is the text's length.
struct ChunkOptions {
    int firstWaitMs;
    int totalMs;
};
ReadResult readChunk(ByteSource& src, char* buf, std::size_t cap, const ChunkOptions& opt);

}  // namespace qor::common
