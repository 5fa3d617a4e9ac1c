// The thin socket layer of the UPS network server: non-blocking sockets on one
// epoll set, served from the front-end's own wait (PolledService), no thread.
// Lines are bounded, connections are counted and idle ones are dropped.
#pragma once

#include <cstdint>
#include <memory>

#include "engine_io.h"
#include "net_config.h"
#include "polled_service.h"
#include "command_words.h"
#include "ups_protocol.h"
#include "unique_fd.h"

namespace qor::net {

constexpr int kMaxClients = 32;

struct NetLimits {
    int maxClients = kMaxClients;
    int idleSec = 120;             // silent this long: dropped (followers poll every few seconds)
    int followerWaitMs = 15000;    // the longest the halt waits for the followers
    int followerGraceMs = 2000;    // after the last one left, while its shutdown command starts
};

class NetServer : public PolledService, public StatusPublisher {
public:
    // nullptr, after a line to the system log, when no address could be listened on.
    static std::unique_ptr<NetServer> create(const NetConfig& config, const NetLimits& limits = NetLimits());
    ~NetServer() override;

    int pollFd() const override { return epoll_.get(); }
    void serve() override;

    void publish(const ServedState& state) override;
    void shutdownFollowers() override;

    int clientCount() const;
    int loginCount() const { return protocol_.loginCount(); }
    const UpsProtocol& protocol() const { return protocol_; }

private:
    struct Client;
    NetServer(const NetConfig& config, const NetLimits& limits);
    bool listenOn(const ListenAddress& a);
    void acceptAll(int listenFd);
    void readFrom(Client& c);
    void answerLines(Client& c);
    void flush(Client& c);
    void drop(Client& c);
    void watch(Client& c);
    void dropIdle();
    void waitForWork(int timeoutMs);

    NetConfig config_;
    NetLimits limits_;
    UpsProtocol protocol_;
    UniqueFd epoll_;
    UniqueFd listen_[kMaxListen];
    int listenCount_ = 0;
    std::unique_ptr<Client[]> clients_;
    int64_t waitDeadlineMs_ = -1;  // set when the followers were first told to go
};

// Reads /etc/Qor.net (or `path`) and starts the server; nullptr, and the
// server off, when there is no file or it is damaged (logged).
std::unique_ptr<NetServer> startNetServer(const char* path = kNetConfigPath,
                                          const NetLimits& limits = NetLimits());

}  // namespace qor::net
