#include "sim_bus.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "posix_io.h"

namespace qn::hid {

namespace {

constexpr int kProbeTimeoutMs = 250;
constexpr int kConnectTimeoutMs = 1000;
// A report the peer cannot take within this time fails the write.
constexpr std::chrono::milliseconds kWriteTimeout(1000);

bool finishConnect(int fd, int timeoutMs) {
    pollfd pfd{fd, POLLOUT, 0};
    if (::poll(&pfd, 1, timeoutMs) <= 0) return false;
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

int connectOne(const addrinfo &address, int timeoutMs) {
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            address.ai_protocol);
    if (fd < 0) return -1;
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0) return fd;
    if (errno == EINPROGRESS && finishConnect(fd, timeoutMs)) return fd;
    ::close(fd);
    return -1;
}

// A connected non-blocking socket, or -1.
int connectTo(const Endpoint &endpoint, int timeoutMs) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo *addresses = nullptr;
    if (::getaddrinfo(endpoint.host.c_str(), endpoint.port.c_str(), &hints, &addresses) != 0) {
        return -1;
    }
    int fd = -1;
    for (const addrinfo *a = addresses; a && fd < 0; a = a->ai_next) fd = connectOne(*a, timeoutMs);
    ::freeaddrinfo(addresses);
    return fd;
}

// The simulator serves one client and replaces it on every new connection, so a probe is
// closed at once and never touches the endpoint this library is connected to.
bool acceptsConnection(const Endpoint &endpoint) {
    const int fd = connectTo(endpoint, kProbeTimeoutMs);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

struct SimEntry {
    std::string text;  // "host:port" as configured
    Endpoint endpoint;
};

std::string trimmed(const std::string &text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Read at every listing, so a test or a user can change it while the program runs.
std::vector<SimEntry> configuredEntries() {
    std::vector<SimEntry> entries;
    const char *value = std::getenv(kSimEnvironment);
    if (!value) return entries;
    std::istringstream list(value);
    std::string item;
    while (std::getline(list, item, ',')) {
        const std::string text = trimmed(item);
        if (const std::optional<Endpoint> endpoint = parseEndpoint(text)) {
            entries.push_back({text, *endpoint});
        }
    }
    return entries;
}

class SimDevice final : public HidDevice {
  public:
    SimDevice(int fd, std::string path, std::shared_ptr<HeldPaths> held)
        : fd_(fd), path_(std::move(path)), heldPaths_(std::move(held)) {}
    ~SimDevice() override {
        ::close(fd_);
        heldPaths_->remove(path_);
    }
    SimDevice(const SimDevice &) = delete;
    SimDevice &operator=(const SimDevice &) = delete;

    ReportLengths capabilities() override { return {kReportLength, kReportLength}; }

    bool writeReport(std::span<const uint8_t> report) override {
        return writeAll(fd_, report, kWriteTimeout, sendNoSignal);
    }

    // Records may arrive in pieces; a piece is kept until its record is complete, and no
    // more than one record is taken from the stream per read.
    ReadResult readReport(std::span<uint8_t> report, std::chrono::milliseconds wait) override {
        pollfd pfd{fd_, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(wait.count()));
        if (ready < 0) return {errno == EINTR ? ReadStatus::Timeout : ReadStatus::Lost, 0};
        if (ready == 0) return {ReadStatus::Timeout, 0};
        const ssize_t n = ::recv(fd_, record_.data() + held_, record_.size() - held_, 0);
        if (n == 0) return {ReadStatus::Lost, 0};  // the simulator closed the stream: unplug
        if (n < 0) {
            return {errno == EAGAIN || errno == EINTR ? ReadStatus::Timeout : ReadStatus::Lost, 0};
        }
        held_ += static_cast<size_t>(n);
        if (held_ < record_.size()) return {ReadStatus::Timeout, 0};
        held_ = 0;
        const size_t size = std::min(report.size(), record_.size());
        std::memcpy(report.data(), record_.data(), size);
        return {ReadStatus::Data, size};
    }

    int pollFd() const override { return fd_; }

  private:
    int fd_;
    std::string path_;
    std::shared_ptr<HeldPaths> heldPaths_;
    std::array<uint8_t, kReportLength> record_{};
    size_t held_ = 0;
};

}  // namespace

std::optional<Endpoint> parseEndpoint(const std::string &text) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) return std::nullopt;
    Endpoint endpoint{text.substr(0, colon), text.substr(colon + 1)};
    const std::string &host = endpoint.host;
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        endpoint.host = host.substr(1, host.size() - 2);
    }
    if (endpoint.host.empty() || endpoint.port.empty()) return std::nullopt;
    unsigned port = 0;
    const char *last = endpoint.port.data() + endpoint.port.size();
    const auto [end, error] = std::from_chars(endpoint.port.data(), last, port);
    if (error != std::errc() || end != last || port == 0 || port > 65535) return std::nullopt;
    return endpoint;
}

std::vector<std::string> SimBus::enumerate(size_t limit, const std::string &livePath) {
    std::vector<std::string> paths;
    for (const SimEntry &entry : configuredEntries()) {
        if (paths.size() >= limit) break;
        const std::string path = kSimPathPrefix + entry.text;
        if (path == livePath || held_->contains(path) || acceptsConnection(entry.endpoint)) {
            paths.push_back(path);
        }
    }
    return paths;
}

std::unique_ptr<HidDevice> SimBus::open(const std::string &path) {
    const std::string prefix = kSimPathPrefix;
    if (path.compare(0, prefix.size(), prefix) != 0) return nullptr;
    const std::optional<Endpoint> endpoint = parseEndpoint(path.substr(prefix.size()));
    if (!endpoint) return nullptr;
    held_->add(path);  // from before the connect: a listing meanwhile must not probe it
    const int fd = connectTo(*endpoint, kConnectTimeoutMs);
    if (fd < 0) {
        held_->remove(path);
        return nullptr;
    }
    // Reports are small and 1 ms apart; Nagle's delay would hold them back.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return std::make_unique<SimDevice>(fd, path, held_);
}

void HeldPaths::add(const std::string &path) {
    std::lock_guard lock(mutex_);
    paths_.insert(path);
}

void HeldPaths::remove(const std::string &path) {
    std::lock_guard lock(mutex_);
    const auto found = paths_.find(path);
    if (found != paths_.end()) paths_.erase(found);
}

bool HeldPaths::contains(const std::string &path) const {
    std::lock_guard lock(mutex_);
    return paths_.count(path) > 0;
}

}  // namespace qn::hid
