#include "pty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace readersim {

namespace {

// Longest wait for room in the terminal: a host that stopped reading fails the write.
constexpr std::chrono::milliseconds kWriteLimit{500};
// While no host holds the slave open the master reports a hang-up at once; look again
// after this pause instead of spinning.
constexpr int kHangupPauseMs = 10;

void makeSlaveRaw(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    termios settings{};
    if (::tcgetattr(fd, &settings) == 0) {
        ::cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr(fd, TCSANOW, &settings);
    }
    ::close(fd);
}

}  // namespace

PtyPort::PtyPort(FrameHandler handler) : handler_(std::move(handler)) {}

PtyPort::~PtyPort() {
    stopping_ = true;
    wake_.signal();
    if (thread_.joinable()) thread_.join();
    closePty();
    if (!symlink_.empty()) ::unlink(symlink_.c_str());
}

std::string PtyPort::start(const std::string &symlink) {
    symlink_ = symlink;
    openPty();
    thread_ = std::thread([this] { run(); });
    return slavePath();
}

void PtyPort::openPty() {
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0) {
        if (fd >= 0) ::close(fd);
        throw std::runtime_error("cannot open a pseudo-terminal");
    }
    char name[128] = {};
    if (::ptsname_r(fd, name, sizeof name) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot name the pseudo-terminal");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    makeSlaveRaw(name);
    {
        std::lock_guard lock(mutex_);
        masterFd_ = fd;
        slavePath_ = name;
        ++generation_;
    }
    pointSymlink();
}

void PtyPort::closePty() {
    std::lock_guard lock(mutex_);
    if (masterFd_ >= 0) ::close(masterFd_);
    masterFd_ = -1;
}

// Replaced atomically, so a host never finds the link missing.
void PtyPort::pointSymlink() const {
    if (symlink_.empty()) return;
    const std::string temporary = symlink_ + ".new";
    ::unlink(temporary.c_str());
    if (::symlink(slavePath().c_str(), temporary.c_str()) == 0)
        ::rename(temporary.c_str(), symlink_.c_str());
}

std::string PtyPort::slavePath() const {
    std::lock_guard lock(mutex_);
    return slavePath_;
}

void PtyPort::unplug() {
    // The port disappears first, as an unplugged adapter's device node does: a host that
    // reopened the old slave path could get a terminal someone else has just created.
    if (!symlink_.empty()) ::unlink(symlink_.c_str());
    // The reading thread polls the master; it sees the closed descriptor on its next
    // wake-up, which this signal forces.
    closePty();
    wake_.signal();
}

void PtyPort::replug() {
    {
        std::lock_guard lock(mutex_);
        if (masterFd_ >= 0) return;
    }
    openPty();
    wake_.signal();
}

void PtyPort::run() {
    uint64_t seenGeneration = 0;
    while (!stopping_) {
        int master = -1;
        uint64_t generation = 0;
        {
            std::lock_guard lock(mutex_);
            master = masterFd_;
            generation = generation_;
        }
        if (generation != seenGeneration) {
            // A new pseudo-terminal starts without half-received frames or held answers.
            parser_.reset();
            heldAnswer.clear();
            seenGeneration = generation;
        }
        pollfd fds[2] = {{wake_.fd(), POLLIN, 0}, {master, POLLIN, 0}};
        const nfds_t count = master >= 0 ? 2 : 1;
        if (::poll(fds, count, -1) < 0) {
            // Interrupted or out of resources: nothing is ready, look again shortly.
            if (errno != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (fds[0].revents != 0) {
            wake_.drain();
            continue;
        }
        if (count == 2 && (fds[1].revents & POLLIN) != 0) {
            readMaster();
        } else if (count == 2 && fds[1].revents != 0) {
            pollfd pause{wake_.fd(), POLLIN, 0};
            ::poll(&pause, 1, kHangupPauseMs);
        }
    }
}

void PtyPort::readMaster() {
    uint8_t buffer[4096];
    ssize_t received = -1;
    {
        std::lock_guard lock(mutex_);
        if (masterFd_ < 0) return;
        received = ::read(masterFd_, buffer, sizeof buffer);
    }
    if (received <= 0) {
        pollfd pause{wake_.fd(), POLLIN, 0};  // slave closed between reads: wait, don't spin
        ::poll(&pause, 1, kHangupPauseMs);
        return;
    }
    parser_.feed(std::span(buffer, static_cast<size_t>(received)),
                 [this](const Bytes &frame) { handler_(frame, *this); });
}

bool PtyPort::send(std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    if (masterFd_ < 0) return false;
    // Without a host on the slave side the bytes would only pile up in the terminal and
    // reach whoever opens it next.
    pollfd entry{masterFd_, POLLOUT, 0};
    if (::poll(&entry, 1, 0) >= 0 && (entry.revents & POLLHUP) != 0) return false;
    return qn::writeAll(masterFd_, bytes, kWriteLimit, ::write);
}

}  // namespace readersim
