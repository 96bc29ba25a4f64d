// tagbench-sim --connect against the server: the program plays a networked reader in client
// mode and must reach the server with whole report frames, and come back after a restart.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <iterator>
#include <string>

#include "CIocpModeSvr.h"
#include "frame.h"
#include "netserver_test_support.h"

extern char **environ;

namespace {

using namespace nettest;

constexpr std::uint8_t kReportCommand = 0x45;

// Complete frames in a connection's bytes; every one must be an active report.
struct FrameCount {
    int reports = 0;
    int others = 0;
};

FrameCount countFrames(const Bytes &bytes) {
    qn::ReceiveParser parser;
    FrameCount count;
    for (const std::uint8_t byte : bytes) {
        if (!parser.feed(byte)) continue;
        const bool report = parser.frame()[qn::kResponseCommandOffset] == kReportCommand;
        ++(report ? count.reports : count.others);
        parser.clearFrameReady();
    }
    return count;
}

// The simulator as a child process, ended with SIGTERM.
class SimProcess {
  public:
    explicit SimProcess(std::uint16_t port) {
        const std::string target = "127.0.0.1:" + std::to_string(port);
        const char *argv[] = {TAGBENCH_SIM_PATH, "--connect", target.c_str(),
                              "--active-period", "5",         nullptr};
        if (::posix_spawn(&m_pid, TAGBENCH_SIM_PATH, nullptr, nullptr,
                          const_cast<char *const *>(argv), environ) != 0)
            m_pid = -1;
    }
    ~SimProcess() { stop(); }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    bool running() const { return m_pid > 0; }
    // The exit status after SIGTERM (0 for a clean end).
    int stop() {
        if (m_pid <= 0) return m_status;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return m_status;
    }

  private:
    pid_t m_pid = -1;
    int m_status = -1;
};

bool hasReports(const EventLog &log, std::size_t connections) {
    const auto &events = log.eventsUnlocked();
    if (events.size() < connections) return false;
    return countFrames(std::prev(events.end())->second.bytes).reports >= 3;
}

TEST(NetServerWithSim, ReceivesReportFramesAndTheSimComesBackAfterARestart) {
    EventLog log;
    CIocpModeSvr server;
    ASSERT_TRUE(server.start(&EventLog::callback, 0, &log)) << server.lastError();
    const std::uint16_t port = server.port();
    SimProcess sim(port);
    ASSERT_TRUE(sim.running());
    ASSERT_TRUE(log.waitUntil([](const EventLog &l) { return hasReports(l, 1); }));

    server.stop();
    // The simulator's own reconnect attempts can hold the free port for a moment (it drops a
    // connection to itself at once), so the restart is tried until it gets the port.
    ASSERT_TRUE(eventually([&] { return server.start(&EventLog::callback, port, &log); }))
        << server.lastError();
    ASSERT_TRUE(log.waitUntil([](const EventLog &l) { return hasReports(l, 2); }));
    EXPECT_EQ(sim.stop(), 0);

    for (const std::int32_t connection : log.connections()) {
        const ConnectionEvents events = log.of(connection);
        EXPECT_EQ(events.peer, htonl(INADDR_LOOPBACK));
        EXPECT_EQ(countFrames(events.bytes).others, 0);
    }
    EXPECT_EQ(log.violations(), 0);
}

}  // namespace
