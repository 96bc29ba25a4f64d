#include "session.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "cli_error.h"
#include "hex_text.h"
#include "output.h"
#include "reader_address.h"
#include "reader_family.h"
#include "stop_signals.h"

namespace cli {

namespace {

Session *currentSession = nullptr;

// Response frames: "JQ", length (2), address, command, status, data, checksum.
constexpr int32_t kCommandOffset = 5;
constexpr int32_t kStatusOffset = 6;
// A stream's own end comes first; the clock only stops one that hangs.
constexpr auto kStreamGrace = std::chrono::seconds(2);
// The link monitor reports a loss within one period (TCP 500 ms, serial and USB 200 ms).
constexpr auto kMonitorPeriod = std::chrono::milliseconds(800);

std::string versionText(std::uint8_t version) {
    return std::to_string(version >> 4) + "." + std::to_string(version & 0x0F);
}

}  // namespace

Clock::time_point GlobalOptions::deadline() const {
    if (maxTimeSeconds <= 0) return Clock::time_point::max();
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(maxTimeSeconds));
}

std::string Identity::serialText() const {
    return hextext::compact(std::span(info).subspan(2, 7));
}

std::string Identity::family() const {
    return readerfamily::traitsOfType(type()).name;
}

std::string Identity::firmware() const {
    return versionText(info[0]);
}

std::string Identity::hardware() const {
    return versionText(info[1]);
}

std::string checkedAddress(const GlobalOptions &options) {
    if (options.address.empty()) {
        usageError("no reader address: give --reader ADDRESS or set TAGBENCH_READER");
    }
    const readeraddress::Parsed parsed = readeraddress::parse(options.address);
    if (!parsed.address) usageError("reader address \"" + options.address + "\": " + parsed.error);
    return options.address;
}

Session::Session(const GlobalOptions &options, Stopping stopping)
    : json_(options.json),
      verbose_(options.verbose),
      retries_(options.retries),
      waitScale_(options.waitScale),
      address_(checkedAddress(options)) {
    if (options.maxTimeSeconds > 0) {
        const auto grace = stopping == Stopping::EndsCleanly ? kStreamGrace : Clock::duration{};
        clock_.start(options.deadline() + grace);
    }
    char error[256] = "";
    // SIGINT and SIGTERM are blocked since main began, so the handle's threads never take them.
    reader_ = QnReader_Open(address_.c_str(), error, sizeof error);
    if (reader_ == nullptr) {
        // The library's reason usually names the address already.
        const std::string reason =
            std::string(error).starts_with(address_) ? std::string(error) : address_ + ": " + error;
        throw Failure(kCannotOpen, "cannot open " + reason);
    }
    currentSession = this;
    // Every thread is running now: a single command may die of Ctrl-C as before.
    if (stopping == Stopping::Dies) tools::unblockStopSignals();
    attach(reader_);
    try {
        run("asking who the reader is", Repeat::Safe, [this] {
            return QnReader_GetDeviceSystemInfo(reader_, kAnyAddress, identity_.info.data());
        });
    } catch (const Failure &failure) {
        close();
        throw Failure(kCannotOpen,
                      "cannot open " + address_ + ": " +
                          (failure.status() == kLinkLost ? "the link went down"
                                                         : "the reader did not say who it is"));
    }
    if (const std::string refusal = familyRefusal(options.family); !refusal.empty()) {
        close();
        throw Failure(kWrongFamily, refusal);
    }
}

std::string Session::familyRefusal(const std::string &wanted) const {
    if (wanted.empty()) return {};
    const std::optional<readerfamily::Family> family = readerfamily::familyNamed(wanted);
    if (family == readerfamily::familyOf(identity_.type())) return {};
    return "reader " + address_ + " is of the " + identity_.family() + " family, not " +
           readerfamily::traitsOf(family.value_or(readerfamily::Family::Unknown)).name +
           " (--family); nothing was written to it";
}

Session::~Session() {
    close();
}

void Session::attach(QnReader *reader) {
    QnReader_SetWaitScale(reader, waitScale_);  // the option checked its range
    QnReader_SetCallbackDebug(reader, onTraffic, this);
    // With a callback registered the handle reports a lost link (and reopens it).
    QnReader_SetCallback(reader, onEvent, this);
}

// The identity is asked before the callbacks are registered: until then the handle does not
// reopen by itself, so a reader that drops the connection again costs one attempt, not more.
bool Session::reopen() {
    close();
    char error[256] = "";
    QnReader *reader = QnReader_Open(address_.c_str(), error, sizeof error);
    if (reader == nullptr) return false;
    QnReader_SetWaitScale(reader, waitScale_);
    Identity identity;
    // A USB address by list position may name another reader now: only this one counts.
    if (!QnReader_GetDeviceSystemInfo(reader, kAnyAddress, identity.info.data()) ||
        identity.serialText() != identity_.serialText()) {
        QnReader_Close(reader);
        return false;
    }
    linkDown_ = false;
    reader_ = reader;
    currentSession = this;
    identity_ = identity;
    attach(reader_);
    return true;
}

void JobClock::start(Clock::time_point deadline) {
    thread_ = std::thread([this, deadline] {
        std::unique_lock lock(mutex_);
        if (changed_.wait_until(lock, deadline, [this] { return ended_; })) return;
        std::fflush(stdout);
        printError("--max-time reached before the job was done");
        std::_Exit(kNoAnswer);
    });
}

JobClock::~JobClock() {
    if (!thread_.joinable()) return;
    {
        const std::lock_guard lock(mutex_);
        ended_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void Session::close() {
    QnReader_Close(reader_);
    reader_ = nullptr;
    if (currentSession == this) currentSession = nullptr;
}

Session *Session::current() {
    return currentSession;
}

void Session::onReports(ReportHandler handler) {
    const std::lock_guard lock(mutex_);
    reports_ = std::move(handler);
}

// Runs on the handle's threads: link events on the monitor thread, reports on the receive one.
void Session::onEvent(QnReader *, void *user, int32_t event, int32_t value, const uint8_t *data,
                      int32_t length, const uint8_t *serial7) {
    auto *session = static_cast<Session *>(user);
    if (event == QN_EVENT_DATA) {
        const std::lock_guard lock(session->mutex_);
        if (session->reports_) session->reports_(value, data, length, serial7);
        return;
    }
    const bool down = event == QN_EVENT_LINK_LOST;
    if (session->linkDown_.exchange(down) == down) return;  // the loss repeats every period
    {
        // Taken so a waiter between its check and its sleep cannot miss the notification.
        const std::lock_guard lock(session->mutex_);
    }
    session->changed_.notify_all();
}

// Every frame sent and received: the --verbose trace, and what the last request got back.
void Session::onTraffic(QnReader *, void *user, int32_t event, int32_t value, const uint8_t *data,
                        int32_t length, const uint8_t *) {
    if (event != QN_EVENT_DATA || data == nullptr || length <= 0) return;
    auto *session = static_cast<Session *>(user);
    const bool sent = value == 1;
    if (length > kStatusOffset) {
        if (sent) {
            session->answered_ = false;
            session->sentCommand_ = data[kCommandOffset];
        } else if (data[kCommandOffset] == session->sentCommand_) {
            session->answerStatus_ = data[kStatusOffset];
            session->answered_ = true;
        }
    }
    if (!session->verbose_) return;
    const std::string line = (sent ? "> " : "< ") +
                             hextext::compact(std::span(data, static_cast<std::size_t>(length))) +
                             "\n";
    std::fputs(line.c_str(), stderr);
}

bool Session::waitForLinkLoss(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return linkDown_.load(); });
}

std::string Session::lostText(const std::string &during) const {
    return "reader " + address_ + " lost: the link went down during " + during;
}

void Session::run(const std::string &what, Repeat repeat, const std::function<int()> &call) {
    for (unsigned attempt = 0;; ++attempt) {
        answered_ = false;
        if (call()) return;
        const Outcome outcome = outcomeOfFailure();
        if (outcome != Outcome::NoAnswer || repeat == Repeat::Unsafe || attempt >= retries_)
            fail(what, repeat, outcome);
        printError(what + ": no answer within the wait; trying again (" +
                   std::to_string(attempt + 1) + " of " + std::to_string(retries_) + ")");
    }
}

void Session::failed(const std::string &what, Repeat repeat) {
    fail(what, repeat, outcomeOfFailure());
}

// A command that returned 0 was refused when an answer echoing it came; without one, a link
// that went down is reported by the monitor within its period.
Session::Outcome Session::outcomeOfFailure() {
    if (linkDown_) return Outcome::LinkLost;
    if (answered_) return Outcome::Refused;
    return waitForLinkLoss(kMonitorPeriod) ? Outcome::LinkLost : Outcome::NoAnswer;
}

void Session::fail(const std::string &what, Repeat repeat, Outcome outcome) {
    switch (outcome) {
        case Outcome::LinkLost:
            throw Failure(kLinkLost, lostText(what));
        case Outcome::Refused:
            throw Failure(kReaderFailed, what + ": the reader refused it (status " +
                                             std::to_string(answerStatus_.load()) + ")");
        case Outcome::NoAnswer:
            break;
    }
    throw Failure(kNoAnswer, what + ": no answer within the wait" +
                                 (repeat == Repeat::Unsafe
                                      ? "; it may or may not have been done (not tried again)"
                                      : ""));
}

}  // namespace cli
