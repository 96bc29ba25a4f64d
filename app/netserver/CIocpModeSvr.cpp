#include "CIocpModeSvr.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <climits>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

namespace {

using asio::ip::tcp;

// A failed accept (out of descriptors, most likely) is tried again after a pause instead of
// at once, which would spin while the shortage lasts; the pause doubles while the failures go
// on, up to the longest.
constexpr std::chrono::milliseconds kAcceptRetryPause { 100 };
constexpr std::chrono::milliseconds kLongestAcceptRetryPause { 1000 };
// Lines of one kind reach the log at most this often.
constexpr std::chrono::milliseconds kLogInterval { 1000 };
// Keepalive probes start after this long without traffic, follow each other at this interval,
// and end the connection after this many go unanswered.
constexpr int kKeepAliveIdleSeconds = 60;
constexpr int kKeepAliveIntervalSeconds = 10;
constexpr int kKeepAliveProbes = 5;

class ClientTable;

// One accepted peer. Its handlers form one chain (one receive outstanding, the next started by
// the handler of the last), so its events never overlap and come in order; they hold it alive
// through shared_from_this(), and a handler that sees an error starts nothing new, so the
// connection ends with its last handler.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(tcp::socket socket, std::int32_t id, std::uint32_t peer, ClientTable &table)
        : m_socket(std::move(socket))
        , m_id(id)
        , m_peer(peer)
        , m_table(table)
    {
    }

    std::int32_t id() const { return m_id; }
    void start();
    // From any thread, under the client table's lock (see there).
    void shutDown();
    // Only from the connection's own handler, or while no server thread runs.
    void closeSocket();

private:
    void receive();
    void onReceive(const asio::error_code &error, std::size_t size);

    tcp::socket m_socket;
    const std::int32_t m_id;
    const std::uint32_t m_peer;
    ClientTable &m_table;
    std::array<std::uint8_t, CIocpModeSvr::kReceiveSize> m_buffer;
};

// The connections of a running server and the callback their events go to.
class ClientTable {
public:
    // Only while no server thread runs.
    void setReceiver(CIocpModeSvr::Callback callback, void *user)
    {
        m_callback = callback;
        m_user = user;
    }
    void notify(
        std::uint32_t peer, std::int32_t id, const std::uint8_t *data, std::uint32_t length) const
    {
        m_callback(peer, id, data, length, m_user);
    }

    // False when the table already holds `limit` connections.
    bool admit(const std::shared_ptr<Connection> &connection, std::size_t limit)
    {
        std::lock_guard lock(m_mutex);
        if (m_connections.size() >= limit)
            return false;
        m_connections.emplace(connection->id(), connection);
        return true;
    }
    bool forget(std::int32_t id)
    {
        std::lock_guard lock(m_mutex);
        return m_connections.erase(id) > 0;
    }
    // Under the lock: a connection leaves the table before its socket is closed, so the
    // descriptor shut down here is still its own and not a newcomer's that reused the number.
    bool shutDownOne(std::int32_t id)
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_connections.find(id);
        if (found == m_connections.end())
            return false;
        found->second->shutDown();
        return true;
    }
    void shutDownAll()
    {
        std::lock_guard lock(m_mutex);
        for (const auto &[id, connection] : m_connections)
            connection->shutDown();
    }
    std::vector<std::shared_ptr<Connection>> takeAll()
    {
        std::lock_guard lock(m_mutex);
        std::vector<std::shared_ptr<Connection>> all;
        all.reserve(m_connections.size());
        for (auto &[id, connection] : m_connections)
            all.push_back(std::move(connection));
        m_connections.clear();
        return all;
    }
    std::size_t size() const
    {
        std::lock_guard lock(m_mutex);
        return m_connections.size();
    }

private:
    CIocpModeSvr::Callback m_callback = nullptr;
    void *m_user = nullptr;
    mutable std::mutex m_mutex;
    std::unordered_map<std::int32_t, std::shared_ptr<Connection>> m_connections;
};

// Posted, so that a connected callback that takes its time does not hold up accepting.
void Connection::start()
{
    asio::post(m_socket.get_executor(), [self = shared_from_this()] {
        self->m_table.notify(self->m_peer, self->m_id, nullptr, 1);
        self->receive();
    });
}

// A plain shutdown(2) leaves the socket object alone, so it may race the connection's own
// handler; the pending receive then ends, and that handler reports disconnected and closes.
void Connection::shutDown()
{
    ::shutdown(m_socket.native_handle(), SHUT_RDWR);
}

void Connection::closeSocket()
{
    asio::error_code ignored;
    m_socket.shutdown(tcp::socket::shutdown_both, ignored);
    m_socket.close(ignored);
}

void Connection::receive()
{
    m_socket.async_read_some(asio::buffer(m_buffer),
        [self = shared_from_this()](
            const asio::error_code &error, std::size_t size) { self->onReceive(error, size); });
}

// End of stream, a reset and a shutdown by disconnectOne all end here.
void Connection::onReceive(const asio::error_code &error, std::size_t size)
{
    if (error) {
        if (m_table.forget(m_id))
            m_table.notify(m_peer, m_id, nullptr, 0);
        closeSocket();
        return;
    }
    m_table.notify(m_peer, m_id, m_buffer.data(), static_cast<std::uint32_t>(size));
    receive();
}

// A peer that floods the server with refused connects or keeps it out of descriptors must not
// flood the log as well: the first line of a kind goes out at once, those within the next
// interval are held, and when it ends one line tells the last of them and how many there were.
class ThrottledLog {
public:
    using Output = std::function<void(const std::string &line)>;

    ThrottledLog(asio::io_context &io, Output output)
        : m_timer(io)
        , m_output(std::move(output))
    {
    }

    // From any server thread.
    void post(const std::string &line)
    {
        {
            std::lock_guard lock(m_mutex);
            const auto now = std::chrono::steady_clock::now();
            if (m_held > 0 || now < m_quietUntil) {
                hold(line);
                return;
            }
            m_quietUntil = now + kLogInterval;
        }
        m_output(line);
    }

private:
    void hold(const std::string &line)
    {
        m_lastHeld = line;
        if (m_held++ > 0)
            return;
        m_timer.expires_at(m_quietUntil);
        m_timer.async_wait([this](const asio::error_code &error) {
            if (!error)
                release();
        });
    }

    void release()
    {
        std::string line;
        {
            std::lock_guard lock(m_mutex);
            line = m_lastHeld + " (" + std::to_string(m_held) + " times since the previous line)";
            m_held = 0;
            m_quietUntil = std::chrono::steady_clock::now() + kLogInterval;
        }
        m_output(line);
    }

    std::mutex m_mutex;
    asio::steady_timer m_timer;
    const Output m_output;
    std::chrono::steady_clock::time_point m_quietUntil {};
    std::string m_lastHeld;
    std::uint64_t m_held = 0;
};

// Asio opens and accepts without close-on-exec: a program the application starts would inherit
// the listener (and hold the port after stop) and every connection.
void closeOnExec(int fd)
{
    ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

// Options the kernel may refuse leave the connection served as it is.
void keepAlive(int fd)
{
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepAliveIdleSeconds, sizeof(int));
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepAliveIntervalSeconds, sizeof(int));
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepAliveProbes, sizeof(int));
}

std::uint64_t openFileLimit()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return UINT64_MAX;
    return limit.rlim_cur;
}

std::string dottedText(std::uint32_t networkOrder)
{
    char text[INET_ADDRSTRLEN] = {};
    in_addr address {};
    address.s_addr = networkOrder;
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

unsigned serverThreadCount()
{
    return 2 * std::max(1u, std::thread::hardware_concurrency()) + 2;
}

} // namespace

struct CIocpModeSvr::Impl {
    bool listen(std::uint16_t wanted);
    bool startThreads();
    void accept();
    void onAccept(const asio::error_code &error, tcp::socket socket);
    void acceptAfterPause();
    void admit(tcp::socket socket);
    void refuse(Connection &connection, std::uint32_t peer, std::size_t cap);
    std::int32_t takeId();
    void log(const std::string &line) const;
    std::size_t connectionCap() const;
    void setInfo(const std::string &error, const std::string &address);
    void shutDown();

    ClientTable table;
    LogHook logHook;
    std::unique_ptr<asio::io_context> io;
    std::unique_ptr<tcp::acceptor> acceptor;
    std::unique_ptr<asio::steady_timer> acceptRetry;
    std::unique_ptr<ThrottledLog> refusalLog;
    std::unique_ptr<ThrottledLog> acceptFailureLog;
    std::vector<std::thread> threads;
    std::atomic<bool> running { false };
    std::atomic<std::uint16_t> port { 0 };
    std::atomic<std::size_t> maxConnections { kDefaultMaxConnections };
    std::atomic<std::uint64_t> refused { 0 };
    std::atomic<std::uint64_t> failedAccepts { 0 };
    // Touched only by the accept chain, one handler at a time.
    std::int32_t nextId = 1;
    std::chrono::milliseconds acceptPause = kAcceptRetryPause;

    mutable std::mutex infoMutex;
    std::string lastError;
    std::string localAddress;
};

bool CIocpModeSvr::Impl::listen(std::uint16_t wanted)
{
    acceptor = std::make_unique<tcp::acceptor>(*io);
    const tcp::endpoint endpoint(tcp::v4(), wanted);
    asio::error_code error;
    const char *step = "open a socket";
    acceptor->open(endpoint.protocol(), error);
    if (!error) {
        closeOnExec(acceptor->native_handle());
        // A restart on the same port must not wait for old connections in TIME_WAIT.
        step = "reuse the address";
        acceptor->set_option(tcp::acceptor::reuse_address(true), error);
    }
    if (!error) {
        step = "bind";
        acceptor->bind(endpoint, error);
    }
    if (!error) {
        // The kernel's full backlog: a burst of readers must not wait for SYN retries.
        step = "listen";
        acceptor->listen(asio::socket_base::max_listen_connections, error);
    }
    if (error) {
        setInfo(std::string("cannot ") + step + " on port " + std::to_string(wanted) + ": "
                + error.message(),
            {});
        return false;
    }
    port = acceptor->local_endpoint(error).port();
    return true;
}

bool CIocpModeSvr::Impl::startThreads()
{
    try {
        for (unsigned i = serverThreadCount(); i > 0; --i)
            threads.emplace_back([context = io.get()] { context->run(); });
    } catch (const std::system_error &error) {
        setInfo(std::string("cannot start a server thread: ") + error.what(), {});
        return false;
    }
    return true;
}

void CIocpModeSvr::Impl::accept()
{
    acceptor->async_accept([this](const asio::error_code &error, tcp::socket socket) {
        onAccept(error, std::move(socket));
    });
}

void CIocpModeSvr::Impl::onAccept(const asio::error_code &error, tcp::socket socket)
{
    if (error == asio::error::operation_aborted)
        return; // the listener was closed
    if (error) {
        ++failedAccepts;
        acceptFailureLog->post("accept failed: " + error.message());
        acceptAfterPause();
        return;
    }
    acceptPause = kAcceptRetryPause;
    admit(std::move(socket));
    accept();
}

void CIocpModeSvr::Impl::acceptAfterPause()
{
    acceptRetry->expires_after(acceptPause);
    acceptPause = std::min(acceptPause * 2, kLongestAcceptRetryPause);
    acceptRetry->async_wait([this](const asio::error_code &error) {
        if (!error)
            accept();
    });
}

void CIocpModeSvr::Impl::admit(tcp::socket socket)
{
    closeOnExec(socket.native_handle());
    keepAlive(socket.native_handle());
    asio::error_code error;
    const tcp::endpoint remote = socket.remote_endpoint(error);
    // A peer whose address cannot be read (already gone) is still taken, as 0.0.0.0.
    const std::uint32_t peer
        = error || !remote.address().is_v4() ? 0 : htonl(remote.address().to_v4().to_uint());
    auto connection = std::make_shared<Connection>(std::move(socket), takeId(), peer, table);
    const std::size_t cap = connectionCap();
    if (!table.admit(connection, cap)) {
        refuse(*connection, peer, cap);
        return;
    }
    connection->start();
}

void CIocpModeSvr::Impl::refuse(Connection &connection, std::uint32_t peer, std::size_t cap)
{
    ++refused;
    refusalLog->post(
        "refused " + dottedText(peer) + ": " + std::to_string(cap) + " connections already open");
    connection.closeSocket(); // nobody else knows it yet
}

std::int32_t CIocpModeSvr::Impl::takeId()
{
    const std::int32_t id = nextId;
    nextId = nextId == INT32_MAX ? 1 : nextId + 1;
    return id;
}

void CIocpModeSvr::Impl::log(const std::string &line) const
{
    if (logHook)
        logHook(line);
}

std::size_t CIocpModeSvr::Impl::connectionCap() const
{
    return connectionCapFor(maxConnections, openFileLimit());
}

void CIocpModeSvr::Impl::setInfo(const std::string &error, const std::string &address)
{
    std::lock_guard lock(infoMutex);
    lastError = error;
    localAddress = address;
}

// Stops the threads first, so that nothing else touches the sockets while they are closed.
// The io_context goes last: destroying it destroys the handlers still queued, and with them
// the connections they keep alive.
void CIocpModeSvr::Impl::shutDown()
{
    io->stop();
    for (std::thread &thread : threads)
        thread.join();
    threads.clear();
    asio::error_code ignored;
    acceptor->close(ignored);
    for (const std::shared_ptr<Connection> &connection : table.takeAll())
        connection->closeSocket();
    acceptRetry.reset();
    refusalLog.reset();
    acceptFailureLog.reset();
    acceptor.reset();
    io.reset();
    table.setReceiver(nullptr, nullptr);
}

CIocpModeSvr::CIocpModeSvr()
    : m_impl(std::make_unique<Impl>())
{
}

CIocpModeSvr::~CIocpModeSvr()
{
    stop();
}

bool CIocpModeSvr::start(Callback callback, std::uint16_t port, void *user)
{
    if (m_impl->running) {
        m_impl->setInfo("already running", localAddress());
        return false;
    }
    if (!callback) {
        m_impl->setInfo("no callback", {});
        return false;
    }
    m_impl->table.setReceiver(callback, user);
    m_impl->io = std::make_unique<asio::io_context>();
    m_impl->acceptRetry = std::make_unique<asio::steady_timer>(*m_impl->io);
    const auto log = [impl = m_impl.get()](const std::string &line) { impl->log(line); };
    m_impl->refusalLog = std::make_unique<ThrottledLog>(*m_impl->io, log);
    m_impl->acceptFailureLog = std::make_unique<ThrottledLog>(*m_impl->io, log);
    m_impl->refused = 0;
    m_impl->failedAccepts = 0;
    m_impl->acceptPause = kAcceptRetryPause;
    if (!m_impl->listen(port)) {
        m_impl->shutDown();
        return false;
    }
    const std::vector<std::string> addresses = localAddresses();
    m_impl->setInfo({}, addresses.empty() ? std::string() : addresses.front());
    m_impl->accept();
    if (!m_impl->startThreads()) {
        m_impl->shutDown();
        return false;
    }
    m_impl->running = true;
    return true;
}

void CIocpModeSvr::stop()
{
    if (!m_impl->running)
        return;
    m_impl->running = false;
    m_impl->shutDown();
}

void CIocpModeSvr::disconnectAll()
{
    m_impl->table.shutDownAll();
}

bool CIocpModeSvr::disconnectOne(std::int32_t connection)
{
    // The table is empty whenever the server is not running.
    return connection != kNoConnection && m_impl->table.shutDownOne(connection);
}

bool CIocpModeSvr::isRunning() const
{
    return m_impl->running;
}

std::uint16_t CIocpModeSvr::port() const
{
    return m_impl->port;
}

std::string CIocpModeSvr::lastError() const
{
    std::lock_guard lock(m_impl->infoMutex);
    return m_impl->lastError;
}

std::string CIocpModeSvr::localAddress() const
{
    std::lock_guard lock(m_impl->infoMutex);
    return m_impl->localAddress;
}

std::size_t CIocpModeSvr::connectionCount() const
{
    return m_impl->table.size();
}

std::uint64_t CIocpModeSvr::refusedCount() const
{
    return m_impl->refused;
}

std::uint64_t CIocpModeSvr::failedAcceptCount() const
{
    return m_impl->failedAccepts;
}

void CIocpModeSvr::setMaxConnections(std::size_t limit)
{
    m_impl->maxConnections = limit;
}

std::size_t CIocpModeSvr::connectionCap() const
{
    return m_impl->connectionCap();
}

std::size_t CIocpModeSvr::connectionCapFor(std::size_t wanted, std::uint64_t openFileLimit)
{
    if (openFileLimit <= kReservedDescriptors)
        return 0;
    return static_cast<std::size_t>(
        std::min<std::uint64_t>(wanted, openFileLimit - kReservedDescriptors));
}

void CIocpModeSvr::setLogHook(LogHook hook)
{
    m_impl->logHook = std::move(hook);
}

std::string CIocpModeSvr::hostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::vector<std::string> CIocpModeSvr::localAddresses()
{
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return {};
    std::vector<std::string> adapters;
    std::vector<std::string> loopback;
    for (const ifaddrs *entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET
            || !(entry->ifa_flags & IFF_UP))
            continue;
        const auto *address = reinterpret_cast<const sockaddr_in *>(entry->ifa_addr);
        auto &into = (entry->ifa_flags & IFF_LOOPBACK) ? loopback : adapters;
        into.push_back(dottedText(address->sin_addr.s_addr));
    }
    ::freeifaddrs(list);
    adapters.insert(adapters.end(), loopback.begin(), loopback.end());
    if (adapters.size() > kMaxLocalAddresses)
        adapters.resize(kMaxLocalAddresses);
    return adapters;
}
