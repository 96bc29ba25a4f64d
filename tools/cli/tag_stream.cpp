#include "tag_stream.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "cli_error.h"
#include "hex_text.h"
#include "stop_signals.h"
#include "tag_text.h"

namespace cli {

namespace {

constexpr std::size_t kTypicalLineLength = 160;
// Results waiting for the ndjson writer at most.
constexpr std::size_t kPendingLimit = 64;

std::string epcText(const Sighting &sighting) {
    return hextext::compact(sighting.record.epc);
}

// The reader and time texts come made: the sightings of one result share them.
void appendNdjsonLine(std::string &lines, const Sighting &sighting, const std::string &reader,
                      const std::string &time) {
    lines += '{';
    tagtext::appendJsonMembers(lines, sighting, reader, time);
    lines += "}\n";
}

// Table columns: wide enough for a 96-bit EPC and a time; longer EPCs push the row right.
constexpr std::size_t kColumnWidths[] = {24, 7, 4, 0};

std::string rowLine(const std::vector<std::string> &cells, Format format) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) line += format == Format::Csv ? "," : "  ";
        line += cells[i];
        if (format == Format::Table && cells[i].size() < kColumnWidths[i]) {
            line.append(kColumnWidths[i] - cells[i].size(), ' ');
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

// Every result waiting goes out in one write: a fast stream costs one wake and one pipe write
// per batch of results, not per result.
void printSightings(const std::deque<std::vector<Sighting>> &results) {
    std::string lines, reader, time;
    const Sighting *previous = nullptr;
    for (const std::vector<Sighting> &sightings : results) {
        lines.reserve(lines.size() + sightings.size() * kTypicalLineLength);
        for (const Sighting &sighting : sightings) {
            if (!previous || previous->reader != sighting.reader)
                reader = jsontext::quoted(sighting.reader);
            if (!previous || previous->time != sighting.time)
                time = jsontext::quoted(utcText(sighting.time));
            appendNdjsonLine(lines, sighting, reader, time);
            previous = &sighting;
        }
    }
    if (!lines.empty()) {
        lines.pop_back();
        printLine(lines);
    }
}

}  // namespace

TagSink::TagSink(Format format) : format_(format) {
    if (format_ == Format::Ndjson) writer_ = std::thread([this] { writeLines(); });
}

TagSink::~TagSink() {
    stopWriter();
}

void TagSink::stopWriter() {
    if (!writer_.joinable()) return;
    {
        const std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    changed_.notify_all();
    writer_.join();
}

void TagSink::add(std::vector<Sighting> sightings) {
    std::unique_lock lock(mutex_);
    if (format_ != Format::Ndjson) {
        for (const Sighting &sighting : sightings) printRowOfNewTag(sighting);
        return;
    }
    changed_.wait(lock, [this] { return finishing_ || pending_.size() < kPendingLimit; });
    if (finishing_) return;  // a report after the end of the stream
    pending_.push_back(std::move(sightings));
    changed_.notify_all();
}

void TagSink::writeLines() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return finishing_ || !pending_.empty(); });
        if (pending_.empty()) return;
        const std::deque<std::vector<Sighting>> results = std::exchange(pending_, {});
        changed_.notify_all();
        lock.unlock();
        printSightings(results);
        lock.lock();
    }
}

// Comes with the first row, or at the end of a stream that saw none: a reader that cannot be
// opened leaves no header behind.
void TagSink::printHeaderOnce() {
    if (std::exchange(headerPrinted_, true)) return;
    printLine(rowLine({"epc", "antenna", "rssi", "first_seen"}, format_));
}

void TagSink::printRowOfNewTag(const Sighting &sighting) {
    if (!seenEpcs_.insert(epcText(sighting)).second) return;
    printHeaderOnce();
    printLine(rowLine({epcText(sighting), std::to_string(sighting.record.antenna),
                       std::to_string(sighting.record.rssi), utcText(sighting.time)},
                      format_));
}

void TagSink::finish() {
    stopWriter();
    const std::lock_guard lock(mutex_);
    if (format_ != Format::Ndjson) printHeaderOnce();
}

namespace {

// Signals and the link are looked at this often while a stream waits.
constexpr std::chrono::milliseconds kLookStep{100};
// The waits before each attempt to open a lost reader again: doubling from the first up to the
// longest.
constexpr std::chrono::milliseconds kFirstReopen{500};
constexpr std::chrono::milliseconds kLongestReopen{8000};

Clock::time_point endAfter(double seconds) {
    if (seconds <= 0) return Clock::time_point::max();
    return Clock::now() +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

std::chrono::milliseconds timeLeft(Clock::time_point end) {
    const Clock::time_point now = Clock::now();
    if (end <= now) return std::chrono::milliseconds(0);
    // Capped, so a stream without an end waits in long steps instead of overflowing.
    constexpr std::chrono::hours longestWait{24};
    if (end - now > longestWait) return longestWait;
    return std::chrono::ceil<std::chrono::milliseconds>(end - now);
}

}  // namespace

StreamEnd::StreamEnd(const GlobalOptions &global, double durationSeconds)
    : durationEnd_(endAfter(durationSeconds)),
      deadline_(global.deadline()),
      reconnect_(global.reconnect),
      reopenWait_(kFirstReopen, kLongestReopen) {}

bool StreamEnd::pause(Session &session, std::chrono::milliseconds pause) {
    const Clock::time_point until = Clock::now() + pause;
    do {
        const auto step =
            readerAway_ ? kLookStep : std::min(kLookStep, timeLeft(std::min(until, durationEnd_)));
        if (tools::waitForStopSignal(step) != 0) reason_ = Reason::Stopped;
        if (reason_ == Reason::Running) reason_ = lookAround(session);
        if (reason_ != Reason::Running) return false;
        // While the reader is away there is nothing to ask it: wait for it in steps.
    } while (Clock::now() < until || readerAway_);
    return true;
}

StreamEnd::Reason StreamEnd::lookAround(Session &session) {
    const Clock::time_point now = Clock::now();
    if (now >= deadline_) return Reason::TimedOut;
    if (now >= durationEnd_) return Reason::Done;
    if (readerAway_) {
        tryToReopen(session);
    } else if (session.linkDown()) {
        if (!reconnect_) return Reason::LinkLost;
        readerAway_ = true;
        // Closed at once: the handle's own reopen, every monitor period, would hammer the port.
        session.close();
        nextReopen_ = now + reopenWait_.next();
        printError("reader " + session.address() + " lost: reconnecting");
    }
    return Reason::Running;
}

void StreamEnd::tryToReopen(Session &session) {
    if (Clock::now() < nextReopen_) return;
    if (!session.reopen()) {
        nextReopen_ = Clock::now() + reopenWait_.next();
        return;
    }
    readerAway_ = false;
    reopenWait_.reset();
    printError("reader " + session.address() + " back");
}

void StreamEnd::check(const Session &session, const std::string &what) const {
    if (reason_ == Reason::LinkLost) throw Failure(kLinkLost, session.lostText(what));
    if (reason_ == Reason::TimedOut) {
        throw Failure(kNoAnswer, what + ": --max-time reached before the job was done");
    }
}

}  // namespace cli
