#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <regex>
#include <set>

#include "CIocpModeSvr.h"
#include "netserver_test_support.h"

namespace {

using namespace nettest;

// Lowers the soft open-file limit of this process while it lives.
class OpenFileLimit {
  public:
    explicit OpenFileLimit(rlim_t soft) {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = soft;
        m_lowered = ::setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~OpenFileLimit() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }
    OpenFileLimit(const OpenFileLimit &) = delete;
    OpenFileLimit &operator=(const OpenFileLimit &) = delete;
    bool lowered() const { return m_lowered; }

  private:
    rlimit m_saved{};
    bool m_lowered = false;
};

// The descriptor the next open would get.
int lowestFreeDescriptor() {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::close(fd);
    return fd;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class NetServer : public ::testing::Test {
  protected:
    void SetUp() override {
        m_server.setLogHook([this](const std::string &line) {
            std::lock_guard lock(m_linesMutex);
            m_lines.push_back(line);
        });
        ASSERT_TRUE(start(0)) << m_server.lastError();
    }

    bool start(std::uint16_t port) { return m_server.start(&EventLog::callback, port, &m_log); }

    // Connects and waits for the server's connected event; the connection's number, or -1.
    std::int32_t connectPeer(LoopbackPeer &peer) {
        const std::size_t before = m_log.count('C');
        if (!peer.connect(m_server.port()) ||
            !m_log.waitUntil([&](const EventLog &log) { return log.countUnlocked('C') > before; }))
            return CIocpModeSvr::kNoConnection;
        return m_log.connections().back();
    }

    bool waitForDisconnected(std::int32_t connection) {
        return m_log.waitUntil([&](const EventLog &log) {
            const auto found = log.eventsUnlocked().find(connection);
            return found != log.eventsUnlocked().end() && found->second.kinds.ends_with('D');
        });
    }

    std::vector<std::string> logLines() {
        std::lock_guard lock(m_linesMutex);
        return m_lines;
    }

    // The log lines starting with `prefix`, and how many events they stand for: one each, and
    // the count a line summing up held-back lines gives.
    std::pair<std::size_t, std::uint64_t> linesAndEvents(const std::string &prefix) {
        static const std::regex held(R"(\((\d+) times since the previous line\)$)");
        std::size_t lines = 0;
        std::uint64_t events = 0;
        for (const std::string &line : logLines()) {
            if (!line.starts_with(prefix)) continue;
            ++lines;
            std::smatch count;
            events += std::regex_search(line, count, held) ? std::stoull(count[1]) : 1;
        }
        return {lines, events};
    }

    EventLog m_log;  // outlives the server
    std::mutex m_linesMutex;
    std::vector<std::string> m_lines;
    CIocpModeSvr m_server;
};

TEST_F(NetServer, PeerThatSendsNothingGivesConnectedThenDisconnected) {
    LoopbackPeer peer;
    const std::int32_t connection = connectPeer(peer);
    ASSERT_NE(connection, CIocpModeSvr::kNoConnection);
    EXPECT_EQ(m_server.connectionCount(), 1u);
    peer.close();
    ASSERT_TRUE(waitForDisconnected(connection));
    const ConnectionEvents events = m_log.of(connection);
    EXPECT_EQ(events.kinds, "CD");
    EXPECT_EQ(events.peer, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(m_server.connectionCount(), 0u);
    EXPECT_EQ(m_log.violations(), 0);
}

class NetServerBlocks : public NetServer, public ::testing::WithParamInterface<std::size_t> {};

// Bytes come in order, in blocks of 1 to 20000, adding up to what was sent.
TEST_P(NetServerBlocks, StreamArrivesWholeInOrderInBoundedBlocks) {
    const std::size_t size = GetParam();
    LoopbackPeer peer;
    const std::int32_t connection = connectPeer(peer);
    ASSERT_NE(connection, CIocpModeSvr::kNoConnection);
    ASSERT_TRUE(peer.send(pattern(size)));
    peer.close();
    ASSERT_TRUE(waitForDisconnected(connection));
    const ConnectionEvents events = m_log.of(connection);
    EXPECT_TRUE(std::regex_match(events.kinds, std::regex("CR+D")));
    EXPECT_EQ(events.bytes, pattern(size));
    const std::size_t leastBlocks =
        (size + CIocpModeSvr::kReceiveSize - 1) / CIocpModeSvr::kReceiveSize;
    EXPECT_GE(events.blockSizes.size(), leastBlocks);
    for (const std::uint32_t block : events.blockSizes) {
        EXPECT_GE(block, 1u);
        EXPECT_LE(block, CIocpModeSvr::kReceiveSize);
    }
    EXPECT_EQ(m_log.violations(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, NetServerBlocks, ::testing::Values(1, 20000, 30000, 250000));

TEST_F(NetServer, PeerResetMidStreamEndsItsConnection) {
    LoopbackPeer peer;
    const std::int32_t connection = connectPeer(peer);
    ASSERT_NE(connection, CIocpModeSvr::kNoConnection);
    const Bytes sent = pattern(60000);
    ASSERT_TRUE(peer.send(Bytes(sent.begin(), sent.begin() + 30000)));
    ASSERT_TRUE(m_log.waitUntil(
        [&](const EventLog &log) { return !log.eventsUnlocked().at(connection).bytes.empty(); }));
    ASSERT_TRUE(peer.send(Bytes(sent.begin() + 30000, sent.end())));
    peer.reset();
    ASSERT_TRUE(waitForDisconnected(connection));
    const ConnectionEvents events = m_log.of(connection);
    EXPECT_TRUE(std::regex_match(events.kinds, std::regex("CR+D")));
    // A reset may discard what the server had not read yet; what came is a prefix.
    ASSERT_LE(events.bytes.size(), sent.size());
    EXPECT_TRUE(std::equal(events.bytes.begin(), events.bytes.end(), sent.begin()));
    EXPECT_EQ(m_server.connectionCount(), 0u);
}

TEST_F(NetServer, StartIsRefusedWhileRunningAndWithoutCallback) {
    EXPECT_FALSE(start(0));
    EXPECT_EQ(m_server.lastError(), "already running");
    EXPECT_TRUE(m_server.isRunning());
    LoopbackPeer peer;
    EXPECT_NE(connectPeer(peer), CIocpModeSvr::kNoConnection);  // the first start still serves

    CIocpModeSvr other;
    EXPECT_FALSE(other.start(nullptr, 0, nullptr));
    EXPECT_FALSE(other.isRunning());
    EXPECT_FALSE(other.lastError().empty());
}

TEST_F(NetServer, PortInUseFailsAtBindAndLeavesTheServerStopped) {
    const std::uint16_t taken = m_server.port();
    CIocpModeSvr second;
    EXPECT_FALSE(second.start(&EventLog::callback, taken, &m_log));
    EXPECT_FALSE(second.isRunning());
    EXPECT_NE(second.lastError().find("bind"), std::string::npos) << second.lastError();
    EXPECT_FALSE(second.disconnectOne(1));
    second.stop();  // no effect

    ASSERT_TRUE(second.start(&EventLog::callback, 0, &m_log)) << second.lastError();
    EXPECT_TRUE(second.lastError().empty());
    EXPECT_NE(second.port(), taken);
    LoopbackPeer peer;
    EXPECT_TRUE(peer.connect(second.port()));
}

TEST_F(NetServer, StopClosesEveryPeerAndReportsNothingMore) {
    LoopbackPeer peers[3];
    for (LoopbackPeer &peer : peers) ASSERT_NE(connectPeer(peer), CIocpModeSvr::kNoConnection);
    m_server.stop();
    EXPECT_FALSE(m_server.isRunning());
    EXPECT_EQ(m_server.connectionCount(), 0u);
    for (LoopbackPeer &peer : peers) {
        EXPECT_TRUE(peer.waitForEnd());
        EXPECT_EQ(peer.bytesReceived(), 0u);  // the server never sends
    }
    EXPECT_EQ(m_log.count('C'), 3u);
    EXPECT_EQ(m_log.count('D'), 0u);
    LoopbackPeer late;
    EXPECT_FALSE(late.connect(m_server.port()));
}

TEST_F(NetServer, StartsAgainOnTheSamePortWithNewConnectionNumbers) {
    const std::uint16_t port = m_server.port();
    LoopbackPeer first;
    const std::int32_t before = connectPeer(first);
    ASSERT_NE(before, CIocpModeSvr::kNoConnection);
    m_server.stop();
    ASSERT_TRUE(first.waitForEnd());
    ASSERT_TRUE(start(port)) << m_server.lastError();
    EXPECT_EQ(m_server.port(), port);
    LoopbackPeer second;
    const std::int32_t after = connectPeer(second);
    ASSERT_NE(after, CIocpModeSvr::kNoConnection);
    EXPECT_NE(after, before);
}

TEST_F(NetServer, DisconnectOneThenAll) {
    LoopbackPeer first;
    LoopbackPeer second;
    const std::int32_t a = connectPeer(first);
    const std::int32_t b = connectPeer(second);
    ASSERT_NE(a, CIocpModeSvr::kNoConnection);
    ASSERT_NE(b, CIocpModeSvr::kNoConnection);

    EXPECT_TRUE(m_server.disconnectOne(a));
    EXPECT_TRUE(first.waitForEnd());
    ASSERT_TRUE(waitForDisconnected(a));
    EXPECT_FALSE(m_server.disconnectOne(a));
    EXPECT_FALSE(m_server.disconnectOne(CIocpModeSvr::kNoConnection));

    ASSERT_TRUE(second.send(pattern(10)));
    ASSERT_TRUE(m_log.waitUntil(
        [&](const EventLog &log) { return log.eventsUnlocked().at(b).bytes.size() == 10; }));

    m_server.disconnectAll();
    EXPECT_TRUE(second.waitForEnd());
    ASSERT_TRUE(waitForDisconnected(b));
    EXPECT_EQ(m_log.of(b).kinds, "CRD");
    EXPECT_EQ(m_server.connectionCount(), 0u);
    EXPECT_TRUE(m_server.isRunning());
}

// As the page does: disconnect from inside the callback, on received bytes and again on the
// disconnected event (when the connection is already gone).
TEST_F(NetServer, CallbackMayDisconnect) {
    std::atomic<int> refusedAfterEnd{0};
    m_log.setReaction([&](std::int32_t connection, char kind) {
        const bool found = m_server.disconnectOne(connection);
        if (kind == 'D' && !found) ++refusedAfterEnd;
    });
    LoopbackPeer peer;
    const std::int32_t connection = connectPeer(peer);
    ASSERT_NE(connection, CIocpModeSvr::kNoConnection);
    EXPECT_TRUE(peer.waitForEnd());  // closed from the connected event already
    ASSERT_TRUE(waitForDisconnected(connection));
    // The event is logged before its reaction runs: wait for the reaction too.
    EXPECT_TRUE(m_log.waitUntil([&](const EventLog &) { return refusedAfterEnd == 1; }));
    EXPECT_EQ(refusedAfterEnd, 1);
    EXPECT_EQ(m_log.violations(), 0);
}

TEST_F(NetServer, BurstOfPeersLeavesTheTableEmpty) {
    constexpr std::size_t kPeers = 200;
    std::vector<LoopbackPeer> peers(kPeers);
    for (LoopbackPeer &peer : peers) ASSERT_TRUE(peer.connect(m_server.port()));
    for (LoopbackPeer &peer : peers) peer.close();
    ASSERT_TRUE(
        m_log.waitUntil([&](const EventLog &log) { return log.countUnlocked('D') == kPeers; }));
    EXPECT_EQ(m_server.connectionCount(), 0u);
    const std::vector<std::int32_t> connections = m_log.connections();
    EXPECT_EQ(std::set<std::int32_t>(connections.begin(), connections.end()).size(), kPeers);
    for (const std::int32_t connection : connections) EXPECT_EQ(m_log.of(connection).kinds, "CD");
    EXPECT_EQ(m_log.violations(), 0);
}

TEST_F(NetServer, PeersBeyondTheCapAreClosedAtOnceAndLogged) {
    m_server.setMaxConnections(2);
    LoopbackPeer admitted[2];
    const std::int32_t first = connectPeer(admitted[0]);
    ASSERT_NE(first, CIocpModeSvr::kNoConnection);
    ASSERT_NE(connectPeer(admitted[1]), CIocpModeSvr::kNoConnection);

    LoopbackPeer refused;
    ASSERT_TRUE(refused.connect(m_server.port()));
    EXPECT_TRUE(refused.waitForEnd());
    ASSERT_TRUE(eventually([&] { return !logLines().empty(); }));
    const std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "refused 127.0.0.1: 2 connections already open");
    EXPECT_EQ(m_log.count('C'), 2u);
    EXPECT_EQ(m_server.refusedCount(), 1u);

    admitted[0].close();
    ASSERT_TRUE(waitForDisconnected(first));
    LoopbackPeer next;
    EXPECT_NE(connectPeer(next), CIocpModeSvr::kNoConnection);
}

TEST(NetServerCap, StaysTheReserveBelowTheOpenFileLimit) {
    struct Case {
        std::size_t wanted;
        std::uint64_t openFileLimit;
        std::size_t cap;
    };
    const Case cases[] = {
        {4096, 1024, 960},  // the usual limit: the default cap gives way
        {100, 1024, 100},   // a lower wish stands
        {4096, 20000, 4096}, {4096, UINT64_MAX, 4096},  // no limit
        {4096, 65, 1},       {4096, 64, 0},             // nothing to spare: every peer is refused
        {4096, 10, 0},       {0, 1024, 0},
    };
    for (const Case &test : cases)
        EXPECT_EQ(CIocpModeSvr::connectionCapFor(test.wanted, test.openFileLimit), test.cap)
            << test.wanted << " under " << test.openFileLimit;
}

// At the cap the process still has the reserve of descriptors, and a crowd of refused peers
// leaves one line a second that counts them all.
TEST_F(NetServer, AtTheOpenFileLimitPeersAreRefusedCountedAndLoggedAtMostOncePerSecond) {
    constexpr std::size_t kCap = 2;
    constexpr std::uint64_t kRefused = 20;
    const rlim_t limit = CIocpModeSvr::kReservedDescriptors + kCap;
    // Room for the test's own peers, one of them refused at a time, within the limit.
    ASSERT_LT(lowestFreeDescriptor() + 2 * kCap + 2, static_cast<int>(limit));
    const OpenFileLimit lowered(limit);
    ASSERT_TRUE(lowered.lowered());
    EXPECT_EQ(m_server.connectionCap(), kCap);

    LoopbackPeer admitted[kCap];
    for (LoopbackPeer &peer : admitted) ASSERT_NE(connectPeer(peer), CIocpModeSvr::kNoConnection);
    const auto started = std::chrono::steady_clock::now();
    for (std::uint64_t i = 0; i < kRefused; ++i) {
        LoopbackPeer refused;
        ASSERT_TRUE(refused.connect(m_server.port()));
        EXPECT_TRUE(refused.waitForEnd());
    }
    ASSERT_TRUE(eventually([&] { return m_server.refusedCount() == kRefused; }));
    ASSERT_TRUE(eventually([&] { return linesAndEvents("refused").second == kRefused; }));
    EXPECT_LE(double(linesAndEvents("refused").first), 2 + secondsSince(started));
    EXPECT_EQ(logLines().front(), "refused 127.0.0.1: 2 connections already open");
    EXPECT_EQ(m_log.count('C'), kCap);
    // The process can still open a file.
    EXPECT_GE(lowestFreeDescriptor(), 0);
}

// Out of descriptors, the listener stays readable; the server waits longer and longer between
// tries instead of spinning, and says so once a second at most.
TEST_F(NetServer, AcceptOutOfDescriptorsBacksOffAndLogsAtMostOncePerSecond) {
    constexpr std::uint64_t kFailures = 7;
    LoopbackPeer peer;
    const auto started = std::chrono::steady_clock::now();
    {
        // The peer's own socket takes the last descriptor; the server gets none.
        const OpenFileLimit lowered(static_cast<rlim_t>(lowestFreeDescriptor()) + 1);
        ASSERT_TRUE(lowered.lowered());
        ASSERT_TRUE(peer.connect(m_server.port()));
        ASSERT_TRUE(eventually([&] { return m_server.failedAcceptCount() >= kFailures; }));
    }
    // Once descriptors are back, the waiting peer gets in.
    ASSERT_TRUE(m_log.waitUntil([](const EventLog &log) { return log.countUnlocked('C') == 1; }));
    ASSERT_TRUE(eventually(
        [&] { return linesAndEvents("accept failed").second == m_server.failedAcceptCount(); }));
    const double seconds = secondsSince(started);
    EXPECT_LE(double(linesAndEvents("accept failed").first), 2 + seconds);
    // Pauses of 0.1, 0.2, 0.4 and 0.8 s, then one a second.
    EXPECT_LE(double(m_server.failedAcceptCount()), 5 + seconds);
}

// Dead peers leave the table: the kernel probes an idle connection and ends it.
TEST_F(NetServer, AcceptedConnectionsProbeTheirPeers) {
    LoopbackPeer peer;
    ASSERT_NE(connectPeer(peer), CIocpModeSvr::kNoConnection);
    const int accepted = serverSideOf(peer);
    ASSERT_GE(accepted, 0);
    struct Case {
        int level;
        int option;
        int value;
    };
    const Case cases[] = {
        {SOL_SOCKET, SO_KEEPALIVE, 1},
        {IPPROTO_TCP, TCP_KEEPIDLE, 60},
        {IPPROTO_TCP, TCP_KEEPINTVL, 10},
        {IPPROTO_TCP, TCP_KEEPCNT, 5},
    };
    for (const Case &test : cases) {
        int value = -1;
        socklen_t size = sizeof value;
        ASSERT_EQ(::getsockopt(accepted, test.level, test.option, &value, &size), 0);
        EXPECT_EQ(value, test.value) << test.option;
    }
}

TEST(NetServerAddresses, LocalAddressesAreDottedWithLoopbackLast) {
    EXPECT_FALSE(CIocpModeSvr::hostName().empty());
    const std::vector<std::string> addresses = CIocpModeSvr::localAddresses();
    ASSERT_FALSE(addresses.empty());
    EXPECT_LE(addresses.size(), CIocpModeSvr::kMaxLocalAddresses);
    EXPECT_EQ(addresses.back(), "127.0.0.1");
    for (const std::string &address : addresses) {
        in_addr parsed{};
        EXPECT_EQ(::inet_pton(AF_INET, address.c_str(), &parsed), 1) << address;
    }
}

}  // namespace
