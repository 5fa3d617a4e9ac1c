// The thin socket layer of the UPS network server: non-blocking sockets on one
// epoll set, served from the front-end's own wait (PolledService), no thread.
// Memory grows with the clients connected; nothing is kept for them up front.
// No client, and no crowd of clients, can keep the followers from being served
// or hold the front-end's tick up: see NetLimits.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine_io.h"
#include "net_config.h"
#include "polled_service.h"
#include "command_words.h"
#include "ups_protocol.h"
#include "unique_fd.h"

namespace qor::net {

constexpr int kMaxClients = 1024;  // what upsd serves by default

struct NetLimits {
    int maxClients = kMaxClients;
    // Connections not logged in, from one address (IPv6: one /64). A new one
    // beyond it takes the place of that address's longest idle one.
    int perAddress = 16;
    // Silent this long: dropped (followers poll every few seconds). For a
    // client not logged in only answers without an error count as activity.
    int idleSec = 120;
    // Answers waiting and the client has taken nothing for this long: dropped.
    int stallMs = 5000;
    int socketBufferBytes = 8192;  // SO_SNDBUF and SO_RCVBUF of each connection
    int linesPerRound = 32;        // one client's commands answered before the next one's turn
    int acceptPauseMs = 1000;      // descriptors exhausted: the listeners rest this long
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
    int msUntilDue() const override;

    void publish(const ServedState& state) override;
    void shutdownFollowers() override;

    int clientCount() const { return clientCount_; }
    int loginCount() const { return protocol_.loginCount(); }
    const UpsProtocol& protocol() const { return protocol_; }

private:
    struct Client;
    NetServer(const NetConfig& config, const NetLimits& limits);
    bool listenOn(const ListenAddress& a);
    void acceptSome(int listenFd);
    void admit(UniqueFd fd, const sockaddr_storage& ss);
    Client* evictionCandidate(const uint8_t* key) const;
    void readFrom(Client& c);
    void answerLines(Client& c, int budget);
    void queueOutput(Client& c, const char* data, size_t len);
    bool resizeOutput(Client& c, size_t cap);
    void flush(Client& c);
    void drop(Client& c);
    void watch(Client& c);
    void serveReady();
    void markReady(Client& c);
    void clearWake();
    void dropIdle();
    void reclaim();
    void pauseAccepting();
    void resumeAcceptingIfDue();
    void waitForWork(int timeoutMs);

    NetConfig config_;
    NetLimits limits_;
    UpsProtocol protocol_;
    UniqueFd epoll_;
    UniqueFd wake_;  // an eventfd, readable while clients have commands left for a later round
    UniqueFd listen_[kMaxListen];
    int listenCount_ = 0;
    std::vector<std::unique_ptr<Client>> slots_;  // grows with the crowd; a slot is reused
    std::vector<uint32_t> freeSlots_;
    std::vector<uint32_t> generation_;            // per slot: tells a stale event from a new client's
    std::vector<uint64_t> ready_;                 // clients with lines left for a later round
    int clientCount_ = 0;
    int deadCount_ = 0;
    int64_t acceptPausedUntilMs_ = -1;
    int64_t acceptWarnedMs_ = -1;
    int64_t waitDeadlineMs_ = -1;  // set when the followers were first told to go
};

// Reads /etc/Qor.net (or `path`) and starts the server; nullptr, and the
// server off, when there is no file or it is damaged (logged).
std::unique_ptr<NetServer> startNetServer(const char* path = kNetConfigPath,
                                          const NetLimits& limits = NetLimits());

}  // namespace qor::net
