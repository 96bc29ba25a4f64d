// A bare HID tunnel endpoint for the tests: it records every 33-byte record the library
// writes, rebuilds the request frames their payloads carry and answers them with input
// reports chosen by the test. Like the virtual reader it serves one client at a time and a
// new connection replaces the old one.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hidtest {

using Bytes = std::vector<uint8_t>;

class ReportPeer {
  public:
    // Payloads of the input reports that answer one request frame.
    using Responder = std::function<std::vector<Bytes>(const Bytes &request)>;

    ReportPeer();
    ~ReportPeer();
    ReportPeer(const ReportPeer &) = delete;
    ReportPeer &operator=(const ReportPeer &) = delete;

    std::string endpoint() const;  // "127.0.0.1:port", as QNHID_SIM names it
    void setResponder(Responder responder);

    // Every record received since the last clear, from any client.
    std::vector<Bytes> records() const;
    void clearRecords();
    bool waitForRecords(size_t count, std::chrono::milliseconds deadline) const;
    uint64_t connectionsAccepted() const { return accepted_.load(); }

    // Unplug drops the client and stops listening; replug listens on the same port again.
    void unplug();
    void replug();

  private:
    void run(std::stop_token stop);
    void listen();
    void acceptClient();
    void readClient();
    void handleRecord(const Bytes &record);
    void sendReports(const std::vector<Bytes> &payloads);
    void closeClient();

    uint16_t port_ = 0;
    int listenFd_ = -1;
    int clientFd_ = -1;
    Bytes incoming_;  // bytes of an unfinished record
    Bytes stream_;    // payload bytes not yet taken as a request frame
    std::atomic<uint64_t> accepted_{0};

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Bytes> records_;
    Responder responder_;
    bool wantPlugged_ = true;
    bool plugged_ = true;
    std::jthread thread_;
};

// The payload count and payload of an output report record.
Bytes payloadOf(const Bytes &record);

}  // namespace hidtest
