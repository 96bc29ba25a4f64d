// The serial side: a pseudo-terminal whose slave is the "port" a host library opens. The
// slave is put in raw mode so no echo or line editing touches the frames. Unplug removes the
// optional symlink and closes the master (the host sees its port fail); replug opens a new
// pseudo-terminal and points the symlink at it again.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "host_link.h"
#include "posix_io.h"
#include "request_parser.h"

namespace readersim {

class PtyPort : public HostLink {
  public:
    explicit PtyPort(FrameHandler handler);
    ~PtyPort() override;
    PtyPort(const PtyPort &) = delete;
    PtyPort &operator=(const PtyPort &) = delete;

    // Opens the pseudo-terminal and returns the slave path. Throws std::runtime_error.
    std::string start(const std::string &symlink);
    std::string slavePath() const;

    void unplug();
    void replug();

    bool send(std::span<const uint8_t> bytes) override;

  private:
    void run();
    void openPty();  // throws
    void closePty();
    void readMaster();
    void pointSymlink() const;

    const FrameHandler handler_;
    qn::WakeEvent wake_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::string symlink_;
    mutable std::mutex mutex_;  // guards masterFd_ and slavePath_ against readers
    int masterFd_ = -1;
    std::string slavePath_;
    uint64_t generation_ = 0;  // bumped per pseudo-terminal; the reader thread resets on it
    RequestParser parser_;
};

}  // namespace readersim
