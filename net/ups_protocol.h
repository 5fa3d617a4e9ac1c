// The command language that existing UPS clients speak on TCP port 3493,
// as portable logic: one command line in, the answer lines out. One UPS,
// named "qor", read-only but for the forced-shutdown flag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "net_config.h"
#include "ups_settings.h"

namespace qor::net {

constexpr const char* kUpsName = "qor";
constexpr size_t kMaxReply = 2048;  // the longest answer to one command

// What one connection has said about itself.
struct Session {
    TextField user = {};
    TextField password = {};
    bool hasUser = false;
    bool hasPassword = false;
    bool loggedIn = false;
    char peer[64] = {};  // the client's address, for LIST CLIENT
};

// Answer lines, gathered into a caller's bounded buffer.
class Reply {
public:
    Reply(char* buf, size_t cap) : buf_(buf), cap_(cap) {}
    void add(const char* text);
    void addQuoted(const char* text);  // "text" with " and \ escaped
    void addNumber(long value);
    void end() { add("\n"); }
    size_t size() const { return len_; }
    bool overflowed() const { return overflow_; }

private:
    void put(char c);
    char* buf_;
    size_t cap_;
    size_t len_ = 0;
    bool overflow_ = false;
};

enum class After { Stay, Close };

class UpsProtocol {
public:
    explicit UpsProtocol(const NetConfig& config);

    // The state of the engine's last tick.
    void setState(int32_t upsState, int32_t secondsLeft, const char* port);
    // Raised once the count-down has ended or a follower asked for it; kept
    // for the rest of the run, as the followers shut down on it.
    void setForcedShutdown() { fsd_ = true; }
    bool forcedShutdown() const { return fsd_; }

    // Connections are attached while they are open; the table grows with them
    // and has no cap of its own (the server bounds the connections). False only
    // when memory for one more entry is lacking.
    bool attach(Session* s);
    void detach(Session* s);
    int loginCount() const;

    // Answers one command line (without its line end).
    After handle(Session& s, const char* line, size_t len, Reply& out);

    // The text of ups.status; empty while no UPS is known.
    const char* statusText() const;

private:
    void get(Session& s, int argc, const char* const* argv, Reply& out);
    void list(int argc, const char* const* argv, Reply& out);
    void login(Session& s, int argc, const char* const* argv, Reply& out);
    void forceShutdown(Session& s, int argc, const char* const* argv, Reply& out);
    bool credentialsValid(const Session& s) const;
    void listVars(Reply& out, const char* prefix);
    bool varValue(const char* name, char* buf, size_t size) const;

    const NetConfig& config_;
    std::vector<Session*> sessions_;  // in the order they came
    int32_t upsState_ = 0;
    int32_t secondsLeft_ = 0;
    TextField port_ = {};
    bool fsd_ = false;
    mutable char status_[32] = {};
};

}  // namespace qor::net
