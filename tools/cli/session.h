// One open reader for the length of a command: the address checked before anything is sent,
// the handle, the reader's identity asked at open, the frame trace of --verbose, the link
// watched for loss, and each command's failure told apart (refused, no answer, link lost).
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "QnReader.h"

namespace cli {

using Clock = std::chrono::system_clock;

struct GlobalOptions {
    std::string address;  // --reader, or TAGBENCH_READER
    bool json = false;
    bool verbose = false;
    unsigned retries = 0;       // --retry: more tries of a command that got no answer
    double maxTimeSeconds = 0;  // --max-time: 0, no limit
    bool reconnect = false;     // --reconnect: streams wait for a lost reader to come back
    int waitScale = 100;        // --wait-scale: per cent of the library's answer waits
    std::string family;         // --family: the family the reader must be (empty: any)

    // When --max-time runs out (far away without it).
    Clock::time_point deadline() const;
};

// What GetDeviceSystemInfo says: firmware, hardware, 7-byte serial number, one more byte.
struct Identity {
    std::array<std::uint8_t, 10> info{};

    std::string serialText() const;  // 14 upper-case hex digits
    std::uint8_t type() const { return info[2]; }
    std::string family() const;
    std::string firmware() const;  // "2.3"
    std::string hardware() const;
};

// The reader address, refused as a usage error when missing or malformed.
std::string checkedAddress(const GlobalOptions &options);

// Whether a command may be sent again after it got no answer: a read may, a write may not,
// since it may have happened all the same.
enum class Repeat { Safe, Unsafe };

// How a stream (and the firmware upgrade) or a single command meets SIGINT and SIGTERM: a
// single command dies of them as any program does; a stream takes them as the request to end
// and completes its output (tools::waitForStopSignal).
enum class Stopping { Dies, EndsCleanly };

// --max-time: ends the process with kNoAnswer when the deadline passes and the job still runs.
class JobClock {
  public:
    JobClock() = default;
    ~JobClock();
    JobClock(const JobClock &) = delete;
    JobClock &operator=(const JobClock &) = delete;

    void start(Clock::time_point deadline);

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ended_ = false;
    std::thread thread_;
};

class Session {
  public:
    // Opens the reader and asks who it is; failing either is kCannotOpen.
    explicit Session(const GlobalOptions &options, Stopping stopping = Stopping::Dies);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    QnReader *reader() const { return reader_; }
    const Identity &identity() const { return identity_; }
    bool json() const { return json_; }
    const std::string &address() const { return address_; }

    // Runs one reader command (`call` returns the library's 1 or 0); a failure throws the
    // Failure that says why, after the tries --retry allows for a Safe command.
    void run(const std::string &what, Repeat repeat, const std::function<int()> &call);
    // Throws the Failure for a command of this session that returned 0.
    [[noreturn]] void failed(const std::string &what, Repeat repeat = Repeat::Safe);

    // Active-mode reports go to `handler` (set it before StartRead or before the reader
    // pushes; null stops them).
    using ReportHandler = std::function<void(int32_t count, const uint8_t *data, int32_t length,
                                             const uint8_t *serial7)>;
    void onReports(ReportHandler handler);
    // True while the link is down (lost and not yet restored).
    bool linkDown() const { return linkDown_; }
    // The one line a lost reader ends a job with.
    std::string lostText(const std::string &during) const;

    // Closes the handle now: no callback of it runs after this returns.
    void close();
    // Closes the handle and opens the address again: true once the same reader (its serial
    // number) answered, its link up and reported again; false, closed, otherwise. Each call is
    // one connection attempt: the caller spaces them.
    bool reopen();

    // The session of the command running now, if any (one per process).
    static Session *current();

  private:
    enum class Outcome { Refused, NoAnswer, LinkLost };
    // Why the reader is not of the family --family names; empty when it is (or none is named).
    std::string familyRefusal(const std::string &wanted) const;
    Outcome outcomeOfFailure();
    [[noreturn]] void fail(const std::string &what, Repeat repeat, Outcome outcome);
    static void onEvent(QnReader *, void *user, int32_t event, int32_t value, const uint8_t *data,
                        int32_t length, const uint8_t *serial7);
    static void onTraffic(QnReader *, void *user, int32_t event, int32_t value, const uint8_t *data,
                          int32_t length, const uint8_t *);
    bool waitForLinkLoss(std::chrono::milliseconds timeout);
    // The wait scale and this session's callbacks on a handle just opened.
    void attach(QnReader *reader);

    QnReader *reader_ = nullptr;
    Identity identity_;
    bool json_ = false;
    bool verbose_ = false;
    unsigned retries_ = 0;
    int waitScale_ = 100;
    std::string address_;
    std::atomic<bool> linkDown_{false};
    // The last request sent and whether an answer echoing it came, with its status byte.
    std::atomic<int> sentCommand_{-1};
    std::atomic<bool> answered_{false};
    std::atomic<int> answerStatus_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
    ReportHandler reports_;
    JobClock clock_;
};

// Every reader command takes the reader address; the handle's transports ignore it.
inline constexpr std::uint8_t kAnyAddress = 0xFF;

}  // namespace cli
