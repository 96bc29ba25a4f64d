// The network reader server under 1000 concurrent loopback peers, each sending a stream of
// active-mode report frames: every byte and every connect / disconnect event must arrive, and
// the throughput is compared with a bare Asio receive loop (same threads, same 20000-byte
// receives, nothing else) in the same run. Rounds alternate the two so that a noisy machine
// weighs on both alike; the medians and their ratio are printed, with peak memory.
//
//   bench_netserver [peers=1000] [frames per peer=8000] [rounds=5]
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "CIocpModeSvr.h"
#include "reader_model.h"

namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

constexpr int kFramesPerWrite = 64;
constexpr auto kDeadline = std::chrono::seconds(120);

struct Plan {
    int peers = 1000;
    int framesPerPeer = 8000;
    int rounds = 5;
    Bytes chunk;  // kFramesPerWrite report frames
    int writesPerPeer() const { return framesPerPeer / kFramesPerWrite; }
    uint64_t bytesPerPeer() const { return chunk.size() * static_cast<uint64_t>(writesPerPeer()); }
};

// Report frames as the virtual reader's active mode makes them, one tag each.
Bytes reportChunk() {
    readersim::ReaderModel model(0x50, 50);
    Bytes chunk;
    for (int i = 0; i < kFramesPerWrite; ++i) {
        const Bytes frame = model.nextActiveReport(1);
        chunk.insert(chunk.end(), frame.begin(), frame.end());
    }
    return chunk;
}

// What a receiver counts. The first byte total to reach `expected` stamps the finish time.
struct Tally {
    explicit Tally(const Plan &plan)
        : expected(plan.bytesPerPeer() * static_cast<uint64_t>(plan.peers)),
          perConnection(static_cast<size_t>(plan.peers) + 1) {}
    void add(size_t connection, uint64_t size) {
        if (connection < perConnection.size()) perConnection[connection] += size;
        if (bytes.fetch_add(size) + size == expected)
            finishedAt.store(Clock::now().time_since_epoch().count());
    }
    bool everyConnection(uint64_t size) const {
        return std::all_of(perConnection.begin() + 1, perConnection.end(),
                           [&](const std::atomic<uint64_t> &n) { return n.load() == size; });
    }
    const uint64_t expected;
    std::atomic<uint64_t> bytes{0};
    std::atomic<int> connected{0};
    std::atomic<int> disconnected{0};
    std::atomic<Clock::rep> finishedAt{0};
    std::vector<std::atomic<uint64_t>> perConnection;
};

void serverEvent(uint32_t, int32_t connection, const uint8_t *data, uint32_t length, void *user) {
    auto &tally = *static_cast<Tally *>(user);
    if (data)
        tally.add(static_cast<size_t>(connection), length);
    else
        ++(length == 1 ? tally.connected : tally.disconnected);
}

unsigned threadCount() {
    return 2 * std::max(1u, std::thread::hardware_concurrency()) + 2;
}

// The floor: accept, one 20000-byte async_read_some per connection, count, read again.
class BareLoop {
  public:
    uint16_t start(Tally &tally) {
        acceptor_.open(tcp::v4());
        acceptor_.bind({asio::ip::address_v4::loopback(), 0});
        acceptor_.listen(asio::socket_base::max_listen_connections);
        accept(tally);
        for (unsigned i = threadCount(); i > 0; --i) threads_.emplace_back([this] { io_.run(); });
        return acceptor_.local_endpoint().port();
    }
    ~BareLoop() {
        io_.stop();
        for (std::thread &thread : threads_) thread.join();
    }

  private:
    struct Session : std::enable_shared_from_this<Session> {
        Session(tcp::socket s, size_t i, Tally &t) : socket(std::move(s)), id(i), tally(t) {}
        void read() {
            socket.async_read_some(
                asio::buffer(buffer),
                [self = shared_from_this()](const asio::error_code &error, size_t size) {
                    if (error) {
                        ++self->tally.disconnected;
                        return;
                    }
                    self->tally.add(self->id, size);
                    self->read();
                });
        }
        tcp::socket socket;
        size_t id;
        Tally &tally;
        std::array<uint8_t, CIocpModeSvr::kReceiveSize> buffer;
    };

    void accept(Tally &tally) {
        acceptor_.async_accept([this, &tally](const asio::error_code &error, tcp::socket socket) {
            if (error) return;
            ++tally.connected;
            std::make_shared<Session>(std::move(socket), ++accepted_, tally)->read();
            accept(tally);
        });
    }

    asio::io_context io_;
    tcp::acceptor acceptor_{io_};
    std::vector<std::thread> threads_;
    size_t accepted_ = 0;
};

// The peers: connected one after the other, then all writing at once on two threads.
class Fleet {
  public:
    bool connect(uint16_t port, int peers) {
        const tcp::endpoint server(asio::ip::address_v4::loopback(), port);
        asio::error_code error;
        for (int i = 0; i < peers && !error; ++i) {
            sockets_.emplace_back(io_);
            sockets_.back().connect(server, error);
        }
        return !error;
    }
    void send(const Bytes &chunk, int writes) {
        for (tcp::socket &socket : sockets_) write(socket, chunk, writes);
        for (int i = 0; i < 2; ++i) threads_.emplace_back([this] { io_.run(); });
    }
    ~Fleet() {
        for (std::thread &thread : threads_) thread.join();
    }

  private:
    void write(tcp::socket &socket, const Bytes &chunk, int left) {
        if (left == 0) {
            asio::error_code ignored;
            socket.shutdown(tcp::socket::shutdown_send, ignored);
            socket.close(ignored);
            return;
        }
        asio::async_write(socket, asio::buffer(chunk),
                          [this, &socket, &chunk, left](const asio::error_code &error, size_t) {
                              if (!error) write(socket, chunk, left - 1);
                          });
    }

    asio::io_context io_;
    std::vector<tcp::socket> sockets_;
    std::vector<std::thread> threads_;
};

template <typename Condition>
bool waitFor(Condition condition) {
    const auto until = Clock::now() + kDeadline;
    while (!condition()) {
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct Outcome {
    double megabytesPerSecond = 0;
    bool complete = false;
};

// Connects the fleet, times the stream from the first write to the last byte counted, and
// checks that nothing was lost.
Outcome drive(const Plan &plan, Tally &tally, uint16_t port) {
    Outcome outcome;
    {
        Fleet fleet;
        if (!fleet.connect(port, plan.peers) ||
            !waitFor([&] { return tally.connected == plan.peers; }))
            return outcome;
        const auto started = Clock::now();
        fleet.send(plan.chunk, plan.writesPerPeer());
        if (!waitFor([&] { return tally.finishedAt.load() != 0; })) return outcome;
        const Clock::time_point finished{Clock::duration(tally.finishedAt.load())};
        const double seconds = std::chrono::duration<double>(finished - started).count();
        outcome.megabytesPerSecond = static_cast<double>(tally.expected) / 1e6 / seconds;
    }
    outcome.complete = waitFor([&] { return tally.disconnected == plan.peers; }) &&
                       tally.bytes == tally.expected && tally.connected == plan.peers &&
                       tally.everyConnection(plan.bytesPerPeer());
    return outcome;
}

Outcome runServer(const Plan &plan) {
    Tally tally(plan);
    CIocpModeSvr server;
    if (!server.start(serverEvent, 0, &tally)) {
        std::fprintf(stderr, "server start failed: %s\n", server.lastError().c_str());
        return {};
    }
    return drive(plan, tally, server.port());
}

Outcome runBare(const Plan &plan) {
    Tally tally(plan);
    BareLoop loop;
    return drive(plan, tally, loop.start(tally));
}

double peakMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Two descriptors per peer (both ends live in this process) and some to spare.
bool raiseDescriptorLimit(int peers) {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t needed = static_cast<rlim_t>(peers) * 2 + 64;
    if (limit.rlim_cur >= needed) return true;
    limit.rlim_cur = std::min(limit.rlim_max, needed);
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur >= needed;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char **argv) {
    Plan plan;
    if (argc > 1) plan.peers = std::max(1, std::atoi(argv[1]));
    if (argc > 2) plan.framesPerPeer = std::max(kFramesPerWrite, std::atoi(argv[2]));
    if (argc > 3) plan.rounds = std::max(1, std::atoi(argv[3]));
    plan.chunk = reportChunk();
    if (!raiseDescriptorLimit(plan.peers)) {
        std::fprintf(stderr, "cannot open %d descriptors (RLIMIT_NOFILE)\n", plan.peers * 2);
        return 1;
    }
    std::printf("%d peers x %d report frames (%llu bytes each), %d rounds, %u server threads\n",
                plan.peers, plan.writesPerPeer() * kFramesPerWrite,
                static_cast<unsigned long long>(plan.bytesPerPeer()), plan.rounds, threadCount());
    const double startMegabytes = peakMegabytes();
    std::vector<double> server, bare;
    bool complete = true;
    double serverPeak = 0;
    for (int round = 1; round <= plan.rounds; ++round) {
        const Outcome s = runServer(plan);
        if (round == 1) serverPeak = peakMegabytes();
        const Outcome b = runBare(plan);
        std::printf("round %d: CIocpModeSvr %8.1f MB/s%s   bare Asio %8.1f MB/s%s\n", round,
                    s.megabytesPerSecond, s.complete ? "" : " (LOST DATA OR EVENTS)",
                    b.megabytesPerSecond, b.complete ? "" : " (LOST DATA OR EVENTS)");
        complete = complete && s.complete && b.complete;
        server.push_back(s.megabytesPerSecond);
        bare.push_back(b.megabytesPerSecond);
    }
    const double ratio = median(server) / median(bare);
    std::printf("median: CIocpModeSvr %.1f MB/s, bare Asio %.1f MB/s, ratio %.2f (goal >= 0.80)\n",
                median(server), median(bare), ratio);
    std::printf(
        "peak memory: %.1f MB at start, %.1f MB after the first server round, %.1f MB "
        "at the end\n",
        startMegabytes, serverPeak, peakMegabytes());
    std::printf("%s\n", complete ? "every byte and event arrived" : "LOSS: see the rounds above");
    return complete ? 0 : 1;
}
