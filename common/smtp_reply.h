// What both editions share of SMTP: the reply code of a reply line, the
// shape of multi-line replies, and the client's error codes and classes
// with their fixed texts. Sockets and resolver calls stay with each edition,
// which maps its system's failures onto NetError and ResolveFailure.
#pragma once

#include <cstddef>
#include <cstdint>

#include "byte_source.h"
#include "line_reader.h"

namespace qor::common {

enum SmtpErrorClass : int32_t {
    SmtpClassNone = 0,
    SmtpClassNotFound = 3,
    SmtpClassUnreachable = 5,
    SmtpClassTimedOut = 6,
    SmtpClassRefused = 8,
    SmtpClassNoResources = 9,
};

enum SmtpErrorCode : int32_t {
    SmtpNoError = 0,
    SmtpUnknownError = 16384,
    SmtpBadParameter = 16385,
    SmtpBadUsage = 16386,
    SmtpBadWinsock = 16387,
    SmtpHostNotFound = 20480,
    SmtpTryAgain = 20481,
    SmtpNoRecovery = 20482,
    SmtpNoData = 20483,
    SmtpNoAddress = 20484,
};

// The client's own code texts; nullptr for anything else (a system error
// number, whose text the edition's system gives).
const char* smtpCodeText(int32_t code);

enum class ResolveFailure { HostNotFound, TryAgain, NoRecovery, NoData, Other };
int32_t smtpResolverCode(ResolveFailure f);

// The step that failed, and the system failure as far as the classes care.
enum class SmtpStep { Resolve, Socket, Connect, Send, Wait, Read, Close };
enum class NetError { Other, TimedOut, Refused, Unreachable, TooManyFiles, NoBuffers };

struct SmtpClass {
    int32_t cls;       // SmtpErrorClass
    const char* text;  // "" for SmtpClassNone
};
// `code` is the error code set for the step (only name resolution looks at it).
SmtpClass smtpClassify(SmtpStep step, NetError err, int32_t code);

// The decimal number at the start of `text`, at most `maxDigits` digits
// (3 for "the first three characters"); 0 when it starts with no digit.
int32_t smtpReplyCode(const char* text, std::size_t maxDigits = 9);

// True for a line that a later line of the same reply follows ("250-...").
bool smtpReplyContinues(const char* line);

// Reads one reply line into `buf` and gives its code, or -1 when no line
// came (time-out, failure or end of stream before any byte). With
// `wholeReply` the continuation lines are read as well and `buf` keeps the
// last line (the one whose code counts); without it only the first line is
// read and the rest stays in the stream for the next read.
int32_t readSmtpReply(ByteSource& src, char* buf, std::size_t cap, const LineOptions& opt, bool wholeReply,
                      ReadResult* how = nullptr);

}  // namespace qor::common
