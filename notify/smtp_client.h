// A small SMTP client: connects, waits for the greeting, sends one command
// line at a time and turns the first line of each reply into a code. It keeps
// an error state (class and code, each with a text) for the last operation
// and answers telnet option negotiation. It never prints.
//
// Secure submission, used only when the administrator asks for it: EHLO with
// the offers it reads, STARTTLS or TLS from the start, and AUTH PLAIN or
// LOGIN. Once TLS is on, the same commands go through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "notify_log.h"
#include "smtp_extensions.h"
#include "smtp_reply.h"
#include "tls_channel.h"
#include "unique_fd.h"

namespace qor {

enum SmtpCommand : int32_t {
    SmtpHelo = 1,
    SmtpMessage = 1,  // the stored message text shares the greeting's code
    SmtpMailFrom = 2,
    SmtpRcptTo = 3,
    SmtpData = 4,
    SmtpRset = 5,
    SmtpSend = 6,
    SmtpSoml = 7,
    SmtpSaml = 8,
    SmtpVrfy = 9,
    SmtpExpn = 10,
    SmtpHelp = 11,
    SmtpNoop = 12,
    SmtpQuit = 13,
    SmtpTurn = 14,
    SmtpEhlo = 15,
    SmtpStartTls = 16,
    SmtpAuth = 17,
};

// Error classes and codes are the portable layer's (common::SmtpErrorClass,
// common::SmtpErrorCode). Text of an error code; system error numbers take
// the system's own text.
std::string smtpErrorText(int32_t code);

class SmtpClient {
public:
    static constexpr size_t kBufferLen = 1024;
    static constexpr size_t kMaxArgument = 992;

    // `log` (may be null) receives the console edition's progress lines.
    explicit SmtpClient(NotifyLog* log = nullptr);
    ~SmtpClient();
    SmtpClient(const SmtpClient&) = delete;
    SmtpClient& operator=(const SmtpClient&) = delete;

    int open(const char* server, int port);
    bool isOpen() const { return open_ != 0; }
    int close();

    void setAddress(const char* address);
    const std::string& address() const { return address_; }
    void setMessage(std::string text) { message_ = std::move(text); }
    const std::string& message() const { return message_; }

    void setReceiveTimeout(int seconds);
    // Finer settings for tests; the greeting window is 30 s.
    void setReceiveTimeoutMs(int ms) { receiveTimeoutMs_ = ms < 0 ? 0 : ms; }
    void setGreetingWindowMs(int ms) { greetingWindowMs_ = ms; }

    // Each returns the reply code: 0 when the command was not sent whole,
    // -1 when no reply could be read.
    int helo();
    int mailFrom(const char* address);
    int rcptTo(const char* address);
    int data();
    int rset();
    int sendFrom(const char* address);
    int somlFrom(const char* address);
    int samlFrom(const char* address);
    int vrfy(const char* name);
    int expn(const char* list);
    int help(const char* topic = nullptr);
    int noop();
    int quit();
    int turn();
    int sendMessage();

    // TLS from the connect on (before the greeting) for the next open(); the
    // server's certificate must lead to `caFile` (empty: the system's
    // authorities) and name the server. Off: plain, as ever.
    void setImplicitTls(bool on, std::string caFile = std::string());
    // EHLO; the whole reply is read and what it offers noted in `offers`.
    int ehlo(SmtpOffers& offers);
    // STARTTLS and, on its 220, the handshake (trust as for implicit TLS).
    // 220 when TLS is on; -1 with the reason in tlsFailure() and the
    // connection dropped when the handshake failed.
    int startTls(const std::string& caFile);
    // The login: 235 when accepted, else the reply code of the step that
    // failed. The credentials are kept out of commandText() and out of every
    // reply line that is logged or kept.
    int auth(SaslMechanism mechanism, const std::string& user, const std::string& password);
    bool tlsOn() const { return tls_ != nullptr; }
    // Reads the continuation lines of every reply too (secure submission
    // speaks the extended protocol, whose replies are often several lines).
    void setWholeReplies(bool on) { wholeReplies_ = on; }
    // Why the last TLS handshake failed ("" when none did).
    const std::string& tlsFailure() const { return tlsFailure_; }

    int32_t errorClass() const { return errClass_; }
    const char* errorClassText() const { return errClassText_; }
    int32_t errorCode() const { return errCode_; }
    const char* errorCodeText() const { return errCodeText_.c_str(); }
    int32_t replyCode() const { return replyCode_; }
    const char* reply() const { return reply_; }
    int32_t lastCommand() const { return lastCommand_; }
    const char* commandText() const { return command_; }
    const std::string& server() const { return server_; }
    int port() const { return port_; }

private:
    using Step = common::SmtpStep;
    void clearError();
    void handleError(int err, Step step);
    void setCode(int32_t code);
    void logLine(const char* text);
    int command(int32_t code, const char* verb, const char* arg, SmtpOffers* offers = nullptr);
    int sendBytes(const char* data, size_t len, bool bestEffort = false);
    int readReply();
    int readAnswer(SmtpOffers* offers = nullptr);
    void dropConnection();
    bool startTlsOn(const std::string& caFile);
    int secretCommand(const char* verb, std::string secret);
    void hideSecrets();

    std::string address_;
    std::string message_;
    uint8_t open_ = 0;
    UniqueFd fd_;
    int port_ = 0;
    std::string server_;
    int receiveTimeoutMs_ = 120000;
    int greetingWindowMs_ = 30000;
    int32_t lastCommand_ = 0;
    int32_t errClass_ = 0;
    const char* errClassText_ = "";
    int32_t errCode_ = 0;
    std::string errCodeText_ = "No error";
    char command_[kBufferLen] = {};
    char reply_[kBufferLen] = {};
    int32_t replyCode_ = 0;
    bool peerClosed_ = false;
    bool implicitTls_ = false;
    bool wholeReplies_ = false;
    std::string implicitCaFile_;
    std::unique_ptr<TlsChannel> tls_;
    std::string tlsFailure_;
    std::vector<std::string> secrets_;  // while logging in: never shown
    NotifyLog* log_;
};

}  // namespace qor
