#include "broker.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "loopback_socket.h"

namespace gatewaytest {

namespace {

constexpr auto kStartDeadline = std::chrono::seconds(30);

}  // namespace

std::uint16_t freePort() {
    return testsupport::LoopbackSocket::listening(1).port();
}

Broker::Broker(const std::string &extraConfig, bool anonymous) : port_(freePort()) {
    folder_ = std::filesystem::temp_directory_path() /
              ("tagbench-broker-" + std::to_string(::getpid()) + "-" + std::to_string(port_));
    std::filesystem::create_directories(folder_);
    std::ofstream config(folder_ / "mosquitto.conf");
    config << "listener " << port_ << " 127.0.0.1\n"
           << "allow_anonymous " << (anonymous ? "true" : "false") << "\n"
           << "log_dest none\n"
           << "max_queued_messages 0\n"
           << "max_inflight_messages 0\n"
           << "persistence false\n"
           << extraConfig;
}

Broker::~Broker() {
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

bool Broker::start() {
    process_ = std::make_unique<testsupport::ChildProcess>(
        "/usr/sbin/mosquitto",
        std::vector<std::string>{"-c", (folder_ / "mosquitto.conf").string()},
        testsupport::childEnvironment({}));
    const auto end = std::chrono::steady_clock::now() + kStartDeadline;
    while (std::chrono::steady_clock::now() < end) {
        if (testsupport::LoopbackSocket::connectedTo(port_).valid()) return true;
        // Polling a port that is not up yet: nothing else tells when the broker listens.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void Broker::stop() {
    if (!process_) return;
    process_->signal(SIGTERM);
    process_->finish(std::chrono::seconds(30));
    process_.reset();
}

}  // namespace gatewaytest
