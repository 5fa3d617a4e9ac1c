#include "smtp_reply.h"

namespace qor::common {

const char* smtpCodeText(int32_t code) {
    switch (code) {
    case SmtpNoError: return "No error";
    case SmtpUnknownError: return "Unknown error";
    case SmtpBadParameter: return "(MIME++) bad parameter passed to function";
    case SmtpBadUsage: return "(MIME++) bad library usage";
    case SmtpBadWinsock: return "(MIME++) incompatible Winsock version";
    case SmtpHostNotFound: return "Host not found";
    case SmtpTryAgain: return "Nonauthoritative host not found";
    case SmtpNoRecovery: return "Nonrecoverable errors: FORMERR, REFUSED, NOTIMP";
    case SmtpNoData: return "Valid name, no data record of requested type";
    case SmtpNoAddress: return "No address, look for MX record";
    default: return nullptr;
    }
}

int32_t smtpResolverCode(ResolveFailure f) {
    switch (f) {
    case ResolveFailure::HostNotFound: return SmtpHostNotFound;
    case ResolveFailure::TryAgain: return SmtpTryAgain;
    case ResolveFailure::NoRecovery: return SmtpNoRecovery;
    case ResolveFailure::NoData: return SmtpNoData;
    case ResolveFailure::Other: break;
    }
    return SmtpUnknownError;
}

SmtpClass smtpClassify(SmtpStep step, NetError err, int32_t code) {
    static const char* const kNotFound = "The server was not found";
    static const char* const kNoResources = "Cannot get required system resources";
    switch (step) {
    case SmtpStep::Resolve:
        if (code >= SmtpHostNotFound && code <= SmtpNoData) return {SmtpClassNotFound, kNotFound};
        break;
    case SmtpStep::Socket:
        if (err == NetError::TooManyFiles || err == NetError::NoBuffers) return {SmtpClassNoResources, kNoResources};
        break;
    case SmtpStep::Connect:
        if (err == NetError::TimedOut)
            return {SmtpClassTimedOut, "The connection attempt to the server timed out"};
        if (err == NetError::Refused) return {SmtpClassRefused, "The connection was refused by the server"};
        if (err == NetError::Unreachable) return {SmtpClassUnreachable, "The network is unreachable"};
        break;
    case SmtpStep::Send:
        if (err == NetError::NoBuffers) return {SmtpClassNoResources, kNoResources};
        break;
    case SmtpStep::Wait:
        if (err == NetError::TimedOut) return {SmtpClassTimedOut, "Timed out while waiting for the server"};
        break;
    case SmtpStep::Read:
    case SmtpStep::Close: break;
    }
    return {SmtpClassNone, ""};
}

int32_t smtpReplyCode(const char* text, std::size_t maxDigits) {
    if (text == nullptr) return 0;
    if (maxDigits > 9) maxDigits = 9;  // keeps the number inside 32 bits
    int32_t code = 0;
    for (std::size_t i = 0; i < maxDigits && text[i] >= '0' && text[i] <= '9'; ++i) code = code * 10 + (text[i] - '0');
    return code;
}

bool smtpReplyContinues(const char* line) {
    if (line == nullptr || line[0] < '0' || line[0] > '9') return false;
    const char* p = line;
    while (*p >= '0' && *p <= '9') ++p;
    return *p == '-';
}

int32_t readSmtpReply(ByteSource& src, char* buf, std::size_t cap, const LineOptions& opt, bool wholeReply,
                      ReadResult* how) {
    ReadResult r = readLine(src, buf, cap, opt);
    if (how != nullptr) *how = r;
    if (r.length == 0) return -1;
    int32_t code = smtpReplyCode(buf);
    while (wholeReply && r.end == ReadEnd::Complete && smtpReplyContinues(buf)) {
        r = readLine(src, buf, cap, opt);
        if (how != nullptr) *how = r;
        if (r.length == 0) return -1;
        code = smtpReplyCode(buf);
    }
    return code;
}

}  // namespace qor::common
