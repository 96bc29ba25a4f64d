#include "netserver_test_support.h"

#include "loopback_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>

namespace nettest {

LoopbackPeer::~LoopbackPeer() {
    close();
}

bool LoopbackPeer::connect(std::uint16_t port) {
    close();
    m_fd = testsupport::LoopbackSocket::connectedTo(port).release();
    return m_fd >= 0;
}

bool LoopbackPeer::send(const Bytes &bytes) {
    std::size_t done = 0;
    while (m_fd >= 0 && done < bytes.size()) {
        const ssize_t sent = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return done == bytes.size();
}

void LoopbackPeer::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

void LoopbackPeer::reset() {
    const linger abortive{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    close();
}

bool LoopbackPeer::waitForEnd(std::chrono::milliseconds deadline) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (m_fd >= 0 && std::chrono::steady_clock::now() < until) {
        pollfd entry{m_fd, POLLIN, 0};
        if (::poll(&entry, 1, 100) <= 0) continue;
        std::uint8_t buffer[4096];
        const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (got > 0)
            m_received += static_cast<std::size_t>(got);
        else if (got == 0 || errno != EINTR)
            return true;
    }
    return false;
}

namespace {

bool sameEndpoint(const sockaddr_in &left, const sockaddr_in &right) {
    return left.sin_family == right.sin_family && left.sin_port == right.sin_port &&
           left.sin_addr.s_addr == right.sin_addr.s_addr;
}

}  // namespace

int serverSideOf(const LoopbackPeer &peer) {
    sockaddr_in client{};
    sockaddr_in server{};
    socklen_t size = sizeof client;
    if (::getsockname(peer.fd(), reinterpret_cast<sockaddr *>(&client), &size) != 0) return -1;
    size = sizeof server;
    if (::getpeername(peer.fd(), reinterpret_cast<sockaddr *>(&server), &size) != 0) return -1;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename().string());
        sockaddr_in local{};
        sockaddr_in remote{};
        socklen_t localSize = sizeof local;
        socklen_t remoteSize = sizeof remote;
        if (::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &localSize) == 0 &&
            ::getpeername(fd, reinterpret_cast<sockaddr *>(&remote), &remoteSize) == 0 &&
            sameEndpoint(local, server) && sameEndpoint(remote, client))
            return fd;
    }
    return -1;
}

bool eventually(const std::function<bool()> &condition, std::chrono::milliseconds deadline) {
    const auto until = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

Bytes pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + 3) % 251);
    return bytes;
}

void EventLog::callback(std::uint32_t peer, std::int32_t connection, const std::uint8_t *data,
                        std::uint32_t length, void *user) {
    static_cast<EventLog *>(user)->record(peer, connection, data, length);
}

void EventLog::record(std::uint32_t peer, std::int32_t connection, const std::uint8_t *data,
                      std::uint32_t length) {
    const char kind = data ? 'R' : length == 1 ? 'C' : 'D';
    std::function<void(std::int32_t, char)> reaction;
    {
        std::lock_guard lock(m_mutex);
        bool &inCall = m_inCall[connection];
        ConnectionEvents &events = m_events[connection];
        // Overlapping calls, a second connected, anything before connected or after
        // disconnected, and a null block that is neither of the two are all wrong.
        const bool open = !events.kinds.empty() && events.kinds.back() != 'D';
        if (inCall || (kind == 'C') == open || (!data && length > 1) || (data && length == 0))
            ++m_violations;
        inCall = true;
        if (kind == 'C') {
            m_order.push_back(connection);
            events.peer = peer;
        }
        events.kinds += kind;
        if (kind == 'R') {
            events.bytes.insert(events.bytes.end(), data, data + length);
            events.blockSizes.push_back(length);
        }
        reaction = m_reaction;
    }
    if (reaction) reaction(connection, kind);
    {
        std::lock_guard lock(m_mutex);
        m_inCall[connection] = false;
    }
    m_changed.notify_all();
}

bool EventLog::waitUntil(const std::function<bool(const EventLog &)> &condition,
                         std::chrono::milliseconds deadline) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, deadline, [&] { return condition(*this); });
}

std::vector<std::int32_t> EventLog::connections() const {
    std::lock_guard lock(m_mutex);
    return m_order;
}

ConnectionEvents EventLog::of(std::int32_t connection) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_events.find(connection);
    return found == m_events.end() ? ConnectionEvents{} : found->second;
}

std::size_t EventLog::count(char kind) const {
    std::lock_guard lock(m_mutex);
    return countUnlocked(kind);
}

std::size_t EventLog::countUnlocked(char kind) const {
    std::size_t total = 0;
    for (const auto &[connection, events] : m_events)
        for (const char each : events.kinds) total += each == kind ? 1 : 0;
    return total;
}

int EventLog::violations() const {
    std::lock_guard lock(m_mutex);
    return m_violations;
}

void EventLog::setReaction(std::function<void(std::int32_t, char)> reaction) {
    std::lock_guard lock(m_mutex);
    m_reaction = std::move(reaction);
}

}  // namespace nettest
