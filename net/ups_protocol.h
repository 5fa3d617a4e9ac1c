// The command language that existing UPS clients speak on TCP port 3493,
// as portable logic: one command line in, the answer lines out. One UPS,
// named "qor", read-only but for the forced-shutdown flag. Answers, error
// words and the order of their checks are those of the clients' own server
// (upsd), so its clients cannot tell the difference but by the values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net_config.h"
#include "ups_settings.h"

namespace qor::net {

constexpr const char* kUpsName = "qor";
constexpr size_t kMaxReply = 2048;  // the longest answer to one command, but for the list of clients
// A follower's forced shutdown is withdrawn once mains is present and it is
// this old: every follower has polled it by then, and one that boots later is
// not shut down again.
constexpr int64_t kFollowerFsdHoldMs = 60000;

// What one connection has said about itself.
struct Session {
    TextField user = {};
    TextField password = {};
    bool hasUser = false;
    bool hasPassword = false;
    bool overlong = false;  // a name or password longer than any allowed: matches nobody
    bool loggedIn = false;  // counted until the connection closes, LOGOUT or not
    bool loggedOut = false;
    bool tracking = false;  // SET TRACKING ON
    unsigned refusalsLogged = 0;  // kinds of refusal already in the log: one line each per connection
    char peer[64] = {};     // the client's address, for LIST CLIENT and the system log
};

// Answer lines, gathered into a caller's bounded buffer.
class Reply {
public:
    Reply(char* buf, size_t cap) : buf_(buf), cap_(cap) {}
    // For the one answer that may outgrow the buffer (the list of clients): it
    // goes on in memory of its own, `bytes` more reserved. False, and the
    // bound kept, when that memory is lacking.
    bool lengthen(size_t bytes);
    const char* data() const { return long_ ? text_.c_str() : buf_; }
    void add(const char* text);
    void addQuoted(const char* text);  // "text" with " and \ escaped
    void addNumber(long value);
    void end() { add("\n"); }
    size_t size() const { return len_; }
    size_t room() const {
        size_t cap = long_ ? text_.capacity() + 1 : cap_;
        return len_ + 1 < cap ? cap - len_ - 1 : 0;
    }
    bool overflowed() const { return overflow_; }

private:
    void put(char c);
    char* buf_;
    size_t cap_;
    size_t len_ = 0;
    bool overflow_ = false;
    bool long_ = false;
    std::string text_;  // the answer, once lengthened
};

enum class After { Stay, Close };

class UpsProtocol {
public:
    using Clock = int64_t (*)();                                   // monotonic milliseconds
    using LogSink = std::function<void(int priority, const char*)>;  // syslog's priorities

    explicit UpsProtocol(const NetConfig& config, Clock clock = nullptr);

    // Logins, logouts, refused logins and forced shutdowns, one line each
    // (name and address, never a password). The system log unless replaced.
    void setLogSink(LogSink sink) { log_ = std::move(sink); }

    // The state of the engine's last tick.
    void setState(int32_t upsState, int32_t secondsLeft, const char* port);
    // Raised once this machine's count-down has ended; kept for the rest of
    // the run, as this machine halts.
    void setForcedShutdown() { ownFsd_ = true; }
    bool forcedShutdown() const { return ownFsd_ || followerFsd_; }

    // Connections are attached while they are open; the table grows with them
    // and has no cap of its own (the server bounds the connections). False only
    // when memory for one more entry is lacking.
    bool attach(Session* s);
    void detach(Session* s);
    int loginCount() const;

    // Answers one command line (without its line end). A broken line (a quote
    // left open) gets no answer, as from the clients' own server.
    After handle(Session& s, const char* line, size_t len, Reply& out);

    // The text of ups.status; empty while no UPS is known.
    const char* statusText() const;

private:
    void get(Session& s, int argc, const char* const* argv, Reply& out);
    void list(int argc, const char* const* argv, Reply& out);
    void credential(Session& s, bool user, int argc, const char* const* argv, Reply& out);
    void login(Session& s, int argc, const char* const* argv, Reply& out);
    void primary(Session& s, const char* cmd, int argc, const char* const* argv, Reply& out);
    void forceShutdown(Session& s, int argc, const char* const* argv, Reply& out);
    void set(Session& s, int argc, const char* const* argv, Reply& out);
    void instcmd(int argc, const char* const* argv, Reply& out);
    const NetUser* userOf(const Session& s) const;  // nullptr: unknown name or wrong password
    void note(int priority, const char* what, const Session& s);
    void noteRefusal(unsigned kind, const char* what, Session& s);
    bool varValue(int var, char* buf, size_t size) const;

    const NetConfig& config_;
    Clock clock_;
    LogSink log_;
    std::vector<Session*> sessions_;  // in the order they came
    int32_t upsState_ = 0;
    int32_t secondsLeft_ = 0;
    TextField port_ = {};
    bool ownFsd_ = false;
    bool followerFsd_ = false;
    int64_t followerFsdAtMs_ = 0;
    mutable char status_[32] = {};
};

}  // namespace qor::net
