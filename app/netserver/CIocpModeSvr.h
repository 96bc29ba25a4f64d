#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The network reader server. Readers set to work as TCP clients connect to it; it reports
// every connection's arrival, bytes and departure to one callback. It never sends anything to
// a peer and never interprets what it receives. Qt-free, so the network test page and the
// tests drive the same object.
//
// Start, stop and the setters belong to one controlling thread (the page's). disconnectOne,
// disconnectAll and the getters may be called from any thread, the callback included.
class CIocpModeSvr {
public:
    // Largest block one received event carries: one receive of this size is outstanding per
    // connection, its buffer reused for every receive.
    static constexpr std::uint32_t kReceiveSize = 20000;
    static constexpr std::size_t kDefaultMaxConnections = 4096;
    // Descriptors the cap always leaves to the rest of the process (its log and export
    // files), whatever the open-file limit.
    static constexpr std::size_t kReservedDescriptors = 64;
    static constexpr std::size_t kMaxLocalAddresses = 20;
    static constexpr std::int32_t kNoConnection = -1;

    // The three events, told apart by data and length:
    //   connected     data null,             length 1
    //   received      data -> the bytes,     length 1 .. kReceiveSize
    //   disconnected  data null,             length 0
    // peerAddress is the peer's IPv4 address in network byte order. connection names the
    // connection for disconnectOne; this object never hands out the same number twice (a
    // socket descriptor is reused at once, and a late disconnectOne would close a newcomer).
    //
    // Threads: the callback runs on the server's threads, possibly on several at once for
    // different connections, so it must be safe for that. For one connection the calls never
    // overlap and come in order: connected, its bytes in the order they arrived, disconnected.
    // It may call disconnectOne and disconnectAll, never stop (stop waits for these threads),
    // and it must not throw. After stop no call is made, and none is still running.
    using Callback = void (*)(std::uint32_t peerAddress, std::int32_t connection,
        const std::uint8_t *data, std::uint32_t length, void *user);
    // Diagnostic lines (a peer refused over the connection cap, a failed accept), called on the
    // server's threads.
    using LogHook = std::function<void(const std::string &line)>;

    CIocpModeSvr();
    ~CIocpModeSvr(); // stops
    CIocpModeSvr(const CIocpModeSvr &) = delete;
    CIocpModeSvr &operator=(const CIocpModeSvr &) = delete;

    // Listens on every local IPv4 address at port (0 picks a free port, see port()) and runs
    // 2 × processors + 2 threads. Every connection has TCP keepalive on: a peer that went
    // silently away (switched off, cable pulled) is ended after about two minutes of silence. False
    // when already running, when callback is null or when a step fails (the port in use, ...);
    // lastError() then tells which, and the object stays stopped and can be started again.
    bool start(Callback callback, std::uint16_t port, void *user);
    // Ends every thread and closes the listener and every connection (their peers see the
    // connection end). No effect when not running.
    void stop();

    // Shuts down and closes every connection; each reports disconnected.
    void disconnectAll();
    // True when the connection is open on this server; it is then shut down and closed, and
    // its disconnected event follows. False when not running, for kNoConnection or for a
    // connection that is gone.
    bool disconnectOne(std::int32_t connection);

    bool isRunning() const;
    // The port listened on, once started.
    std::uint16_t port() const;
    // Why the last start failed; empty after a successful one.
    std::string lastError() const;
    // The dotted text of this computer's first IPv4 address, found at start.
    std::string localAddress() const;
    // Connections in the client table now.
    std::size_t connectionCount() const;

    // Peers refused at the connection cap since start.
    std::uint64_t refusedCount() const;
    // Accepts that failed (out of descriptors, most likely) since start.
    std::uint64_t failedAcceptCount() const;

    // Connections beyond the cap are accepted and closed at once, without events, and counted.
    // The cap is this many, but never more than connectionCapFor allows under the process's
    // open-file limit of the moment. Takes effect for the next peer.
    void setMaxConnections(std::size_t limit);
    // The cap the next peer meets.
    std::size_t connectionCap() const;
    static std::size_t connectionCapFor(std::size_t wanted, std::uint64_t openFileLimit);
    // Set before start. Refusals and failed accepts are logged at most once a second each;
    // the line closing such a second counts what it held back.
    void setLogHook(LogHook hook);

    // The local host name; empty when it cannot be read.
    static std::string hostName();
    // Dotted IPv4 addresses of the network adapters that are up, loopback last, at most
    // kMaxLocalAddresses.
    static std::vector<std::string> localAddresses();

private:
    struct Impl; // keeps Asio out of the page's includes
    std::unique_ptr<Impl> m_impl;
};
