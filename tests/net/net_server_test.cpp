// The socket layer on the loopback of the sandbox's own network (this binary
// runs inside qor-sandbox): bounded lines, a crowd that cannot keep the
// followers out, clients that never read, exhausted descriptors, and the wait
// for the followers before the halt, a list of followers longer than any other
// answer. (An endless line from a real
// client: net_e2e_test.)
#include "net_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "unique_fd.h"
#include "ups_status.h"

namespace qor::net {
namespace {

using Ms = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

NetConfig config() {
    NetConfig c;
    char why[128];
    const char text[] = "LISTEN 127.0.0.1 3493\nUSER mon secret\n";
    EXPECT_TRUE(parseNetConfig(text, sizeof text - 1, c, why, sizeof why)) << why;
    return c;
}

UniqueFd connectToServer() {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(3493);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) fd.reset();
    return fd;
}

UniqueFd connectFrom(const char* local) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, local, &from.sin_addr);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(3493);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        ::connect(fd.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        fd.reset();
    return fd;
}

// A small receive buffer, set before the window is agreed: the client takes
// little until it reads.
UniqueFd connectWithReceiveBuffer(int bytes) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(3493);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) fd.reset();
    return fd;
}

// Bytes queued in the kernel for the server's ends of its connections (this
// network namespace is the sandbox's own): unsent plus unread.
size_t serverSideQueues() {
    std::ifstream tcp("/proc/self/net/tcp");
    std::string line;
    size_t total = 0;
    std::getline(tcp, line);
    while (std::getline(tcp, line)) {
        std::istringstream f(line);
        std::string slot, local, remote, state, queues;
        f >> slot >> local >> remote >> state >> queues;
        if (local.size() < 5 || local.substr(local.size() - 4) != "0DA5" || state != "01") continue;
        total += std::stoul(queues.substr(0, queues.find(':')), nullptr, 16);
        total += std::stoul(queues.substr(queues.find(':') + 1), nullptr, 16);
    }
    return total;
}

void sendText(int fd, const std::string& text) { ::send(fd, text.data(), text.size(), MSG_NOSIGNAL); }

// Serves the server (when given) while waiting for one answer line; "" on
// time-out, "<closed>" when the server closed the connection.
std::string answer(int fd, NetServer* server, int timeoutMs = 3000) {
    std::string line;
    auto end = SteadyClock::now() + Ms(timeoutMs);
    while (SteadyClock::now() < end) {
        if (server != nullptr) server->serve();
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0) continue;
        char c;
        ssize_t n = ::recv(fd, &c, 1, 0);
        if (n <= 0) return "<closed>";
        if (c == '\n') return line;
        line += c;
    }
    return line;
}

std::string ask(int fd, NetServer* server, const std::string& command) {
    sendText(fd, command + "\n");
    return answer(fd, server);
}

TEST(NetServer, LongestCommandLineIsAnsweredOneMoreIsCutOff) {
    auto server = NetServer::create(config());
    ASSERT_TRUE(server);
    server->publish({AcOk, 600, "/dev/ttyS0"});
    UniqueFd fd = connectToServer();
    std::string longest = "GET VAR qor " + std::string(kMaxLine - 1 - 12, 'v');  // with its line end: 1024 bytes
    EXPECT_EQ(ask(fd.get(), server.get(), longest), "ERR VAR-NOT-SUPPORTED");
    EXPECT_EQ(ask(fd.get(), server.get(), longest + "v"), "<closed>");
    EXPECT_EQ(server->clientCount(), 0);
}

TEST(NetServer, CrowdNotLoggedInCannotKeepFollowersOrNewcomersOut) {
    NetLimits limits;
    limits.maxClients = 32;  // fewer than the crowd below
    limits.perAddress = 16;
    limits.idleSec = 1;
    auto server = NetServer::create(config(), limits);
    ASSERT_TRUE(server);
    server->publish({AcFail, 300, "/dev/ttyS0"});
    UniqueFd follower = connectFrom("127.0.0.1");
    for (const char* c : {"USERNAME mon", "PASSWORD secret", "LOGIN qor"}) ASSERT_EQ(ask(follower.get(), server.get(), c), "OK");

    // 40 connections from four addresses that never log in, each holding on
    // with an empty line (answered with an error) or one byte at a time.
    std::vector<UniqueFd> crowd;
    for (int i = 0; i < 40; ++i) {
        crowd.push_back(connectFrom(("127.0.0." + std::to_string(2 + i % 4)).c_str()));
        sendText(crowd.back().get(), "\n");
        server->serve();
    }
    // 20 more from one address: beyond its share they push out only its own.
    std::vector<UniqueFd> greedy;
    for (int i = 0; i < 20; ++i) {
        greedy.push_back(connectFrom("127.0.0.9"));
        server->serve();
    }
    EXPECT_LE(server->clientCount(), 32);
    const std::string status = "VAR qor ups.status \"OB\"";
    UniqueFd newcomer = connectFrom("127.0.0.1");
    EXPECT_EQ(ask(newcomer.get(), server.get(), "GET VAR qor ups.status"), status) << "a new client gets through";
    UniqueFd second = connectFrom("127.0.0.1");
    for (const char* c : {"USERNAME mon", "PASSWORD secret", "LOGIN qor"})
        EXPECT_EQ(ask(second.get(), server.get(), c), "OK") << "a second follower logs in";
    EXPECT_EQ(server->loginCount(), 2);

    // Idle time: lines answered with an error and bytes without a line end
    // keep nobody in; a client asking what it may, and the followers, stay.
    UniqueFd polite = connectFrom("127.0.0.1");
    auto end = SteadyClock::now() + Ms(2500);
    while (SteadyClock::now() < end) {
        for (size_t i = 0; i < crowd.size(); ++i) sendText(crowd[i].get(), i % 2 ? "\n" : "G");
        EXPECT_EQ(ask(polite.get(), server.get(), "VER").rfind("ERR", 0), std::string::npos);
        EXPECT_EQ(ask(follower.get(), server.get(), "GET VAR qor ups.status"), status);
        EXPECT_EQ(ask(second.get(), server.get(), "BLAH"), "ERR UNKNOWN-COMMAND");
        std::this_thread::sleep_for(Ms(200));
        server->publish({AcFail, 300, "/dev/ttyS0"});  // the tick drops idle clients
    }
    EXPECT_EQ(server->clientCount(), 3) << "only the two followers and the polite client remain";
    EXPECT_EQ(server->loginCount(), 2);
}

TEST(NetServer, ClientThatNeverReadsPinsLittleMemoryAndIsDropped) {
    NetLimits limits;
    limits.stallMs = 1000;
    auto server = NetServer::create(config(), limits);
    ASSERT_TRUE(server);
    server->publish({AcOk, 600, "/dev/ttyS0"});
    UniqueFd fd = connectFrom("127.0.0.1");
    ASSERT_EQ(ask(fd.get(), server.get(), "LIST UPS"), "BEGIN LIST UPS");
    // Commands whose answers it never reads, as fast as they are taken.
    const std::string command = "LIST VAR qor\n";
    size_t queuedMax = 0;
    auto end = SteadyClock::now() + Ms(3000);
    while (SteadyClock::now() < end && server->clientCount() > 0) {
        for (int i = 0; i < 64; ++i)
            if (::send(fd.get(), command.data(), command.size(), MSG_DONTWAIT | MSG_NOSIGNAL) <= 0) break;
        server->serve();
        queuedMax = std::max(queuedMax, serverSideQueues());
        std::this_thread::sleep_for(Ms(5));
        server->publish({AcOk, 600, "/dev/ttyS0"});
    }
    EXPECT_LT(queuedMax, 128u * 1024) << "bytes the kernel holds for the server's end";
    EXPECT_EQ(server->clientCount(), 0) << "dropped once its answers have not moved for a while";
}

// Lets the process open no descriptor beyond those it holds, until restored.
class DescriptorLimit {
public:
    bool tighten() {
        if (::getrlimit(RLIMIT_NOFILE, &saved_) != 0) return false;
        int lowestFree = ::dup(0);
        if (lowestFree < 0) return false;
        ::close(lowestFree);
        rlimit tight = saved_;
        tight.rlim_cur = static_cast<rlim_t>(lowestFree);
        return ::setrlimit(RLIMIT_NOFILE, &tight) == 0;
    }
    bool restore() { return ::setrlimit(RLIMIT_NOFILE, &saved_) == 0; }

private:
    rlimit saved_{};
};

TEST(NetServer, ExhaustedDescriptorsDoNotKeepTheLoopBusy) {
    NetLimits limits;
    limits.acceptPauseMs = 600;
    auto server = NetServer::create(config(), limits);
    ASSERT_TRUE(server);
    server->publish({AcOk, 600, "/dev/ttyS0"});
    std::vector<UniqueFd> waiting;
    for (int i = 0; i < 3; ++i) waiting.push_back(connectFrom("127.0.0.1"));  // queued by the kernel
    DescriptorLimit limit;
    ASSERT_TRUE(limit.tighten());  // no descriptor left for an accept
    int wakeups = 0;
    auto end = SteadyClock::now() + Ms(1500);
    while (SteadyClock::now() < end) {
        pollfd p{server->pollFd(), POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) ++wakeups;
        server->serve();
    }
    ASSERT_TRUE(limit.restore());
    EXPECT_LT(wakeups, 10) << "the listener is left alone for a while after an accept fails";
    EXPECT_EQ(server->clientCount(), 0);
    for (auto& fd : waiting) EXPECT_EQ(ask(fd.get(), server.get(), "LIST UPS"), "BEGIN LIST UPS") << "served once it can";
}

// A front-end whose ticks rest (on mains, with the line watched) calls
// serve() only when the server's descriptor is readable or its time-out due.
void serveLikeARestingFrontEnd(NetServer& server, int forMs) {
    auto end = SteadyClock::now() + Ms(forMs);
    while (SteadyClock::now() < end) {
        int left = static_cast<int>(std::chrono::duration_cast<Ms>(end - SteadyClock::now()).count());
        int due = server.msUntilDue();
        pollfd p{server.pollFd(), POLLIN, 0};
        int n = ::poll(&p, 1, due < 0 ? left : std::min(due, left));
        if (n > 0 || server.msUntilDue() == 0) server.serve();
    }
}

TEST(NetServer, ItsTimeOutsComeWithoutTicks) {
    NetLimits limits;
    limits.acceptPauseMs = 300;
    limits.idleSec = 1;
    auto server = NetServer::create(config(), limits);
    ASSERT_TRUE(server);
    server->publish({AcOk, 600, "/dev/ttyS0"});
    EXPECT_EQ(server->msUntilDue(), -1) << "nothing to time out";
    UniqueFd silent = connectFrom("127.0.0.1");
    serveLikeARestingFrontEnd(*server, 200);
    EXPECT_EQ(server->clientCount(), 1);
    EXPECT_GT(server->msUntilDue(), 0);
    serveLikeARestingFrontEnd(*server, 1200);
    EXPECT_EQ(server->clientCount(), 0) << "a silent client goes by its own time-out";

    UniqueFd waiting = connectFrom("127.0.0.1");  // queued by the kernel; its accept will fail
    DescriptorLimit limit;
    ASSERT_TRUE(limit.tighten());
    serveLikeARestingFrontEnd(*server, 100);
    ASSERT_TRUE(limit.restore());
    int due = server->msUntilDue();
    EXPECT_TRUE(due >= 0 && due <= 300) << due;
    serveLikeARestingFrontEnd(*server, 500);
    EXPECT_EQ(server->clientCount(), 1) << "the resting listener takes the waiting client once its pause is over";
}

TEST(NetServer, ClientThatStopsReadingIsHeldBackAndLaterAnsweredInFull) {
    auto server = NetServer::create(config());
    ASSERT_TRUE(server);
    server->publish({AcOk, 600, "/dev/ttyS0"});
    UniqueFd fd = connectWithReceiveBuffer(4096);
    ASSERT_TRUE(fd);
    const int commands = 5000;  // about 2 MiB of answers, more than the socket buffers hold
    std::string many;
    for (int i = 0; i < commands; ++i) many += "LIST VAR qor\n";
    sendText(fd.get(), many);
    // Once the socket buffers are full the server has nothing to do: its
    // descriptor stays quiet.
    int wakeups = 0;
    for (int round = 0; round < 2; ++round) {
        wakeups = 0;
        auto end = SteadyClock::now() + Ms(1000);
        while (SteadyClock::now() < end) {
            pollfd p{server->pollFd(), POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) ++wakeups;
            server->serve();
        }
    }
    EXPECT_LT(wakeups, 50) << "the server spins while the client does not read";
    std::string all;
    const std::string endLine = "END LIST VAR qor\n";
    size_t ends = 0, seen = 0;
    auto stop = SteadyClock::now() + Ms(20000);
    while (ends < commands && SteadyClock::now() < stop) {
        server->serve();
        char buf[65536];
        pollfd p{fd.get(), POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0) continue;
        ssize_t n = ::recv(fd.get(), buf, sizeof buf, 0);
        if (n <= 0) break;
        all.append(buf, static_cast<size_t>(n));
        for (size_t at; (at = all.find(endLine, seen)) != std::string::npos; seen = at + endLine.size()) ++ends;
    }
    EXPECT_EQ(ends, static_cast<size_t>(commands)) << "every answer arrives once the client reads";
}

TEST(NetServer, ListOfManyFollowersArrivesWholeToASlowReader) {
    NetLimits limits;
    limits.socketBufferBytes = 2048;  // the kernel's least: most of the list waits in the server
    auto server = NetServer::create(config(), limits);
    ASSERT_TRUE(server);
    const int followers = 450;  // (both ends of each in this process: under 1024 descriptors)
    std::vector<UniqueFd> crowd;
    std::string want = "BEGIN LIST CLIENT qor\n";
    for (int i = 0; i < followers; ++i) {
        std::string from = "127.0.1." + std::to_string(100 + i % 150);
        crowd.push_back(connectFrom(from.c_str()));
        sendText(crowd.back().get(), "USERNAME mon\nPASSWORD secret\nLOGIN qor\n");
        for (int round = 0; round < 100 && server->loginCount() <= i; ++round) server->serve();
        ASSERT_EQ(server->loginCount(), i + 1);
        want += "CLIENT qor " + from + "\n";
    }
    want += "END LIST CLIENT qor\n";
    UniqueFd asker = connectWithReceiveBuffer(2048);
    ASSERT_TRUE(asker);
    sendText(asker.get(), "LIST CLIENT qor\nVER\n");
    for (int round = 0; round < 20; ++round) server->serve();  // nothing read meanwhile
    std::string got;
    auto stop = SteadyClock::now() + Ms(5000);
    while (got.find("upsd") == std::string::npos && SteadyClock::now() < stop) {
        server->serve();
        char buf[512];
        pollfd p{asker.get(), POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0) continue;
        ssize_t n = ::recv(asker.get(), buf, sizeof buf, 0);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    EXPECT_EQ(got.substr(0, want.size()), want);
    EXPECT_NE(got.find("upsd", want.size()), std::string::npos) << "the next command is answered after it";
}

TEST(NetServer, HaltWaitsForTheFollowersToLogOutServingThemMeanwhile) {
    NetLimits limits;
    limits.followerWaitMs = 1500;
    limits.followerGraceMs = 200;
    auto server = NetServer::create(config(), limits);
    ASSERT_TRUE(server);
    server->publish({AcFail, 0, "/dev/ttyS0"});
    UniqueFd follower = connectToServer();
    ASSERT_EQ(ask(follower.get(), server.get(), "USERNAME mon"), "OK");
    ASSERT_EQ(ask(follower.get(), server.get(), "PASSWORD secret"), "OK");
    ASSERT_EQ(ask(follower.get(), server.get(), "LOGIN qor"), "OK");
    ASSERT_EQ(server->loginCount(), 1);

    // The follower sees FSD during the wait, then logs out.
    std::string seen, bye;
    std::thread client([&] {
        std::this_thread::sleep_for(Ms(300));
        seen = ask(follower.get(), nullptr, "GET VAR qor ups.status");
        bye = ask(follower.get(), nullptr, "LOGOUT");
    });
    auto start = SteadyClock::now();
    server->shutdownFollowers();
    auto took = std::chrono::duration_cast<Ms>(SteadyClock::now() - start).count();
    client.join();
    EXPECT_EQ(seen, "VAR qor ups.status \"FSD OB\"");
    EXPECT_EQ(bye, "OK Goodbye");
    EXPECT_GE(took, 300 + 200);
    EXPECT_LT(took, 1500) << "the wait ends once the follower has gone";

    // A follower that never logs out holds the halt up only for the bound, once.
    server.reset();
    auto server2 = NetServer::create(config(), limits);
    ASSERT_TRUE(server2);
    server2->publish({AcFail, 0, "/dev/ttyS0"});
    UniqueFd stuck = connectToServer();
    for (const char* c : {"USERNAME mon", "PASSWORD secret", "LOGIN qor"}) ASSERT_EQ(ask(stuck.get(), server2.get(), c), "OK");
    start = SteadyClock::now();
    server2->shutdownFollowers();
    took = std::chrono::duration_cast<Ms>(SteadyClock::now() - start).count();
    EXPECT_GE(took, 1400);
    EXPECT_LT(took, 4000);
    start = SteadyClock::now();
    server2->shutdownFollowers();  // the console halts again at every count-down step
    EXPECT_LT(std::chrono::duration_cast<Ms>(SteadyClock::now() - start).count(), 200);
}

}  // namespace
}  // namespace qor::net
