#include "tag_stream.h"

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "tag_text.h"

namespace cli {

namespace {

constexpr std::size_t kTypicalLineLength = 160;
// Results waiting for the ndjson writer at most.
constexpr std::size_t kPendingLimit = 64;

std::string epcText(const Sighting &sighting) {
    return hexText(sighting.record.epc);
}

// The reader and time texts come made: the sightings of one result share them.
void appendNdjsonLine(std::string &lines, const Sighting &sighting, const std::string &reader,
                      const std::string &time) {
    lines += '{';
    tagtext::appendJsonMembers(lines, sighting, reader, time);
    lines += "}\n";
}

std::string rowLine(const std::vector<std::string> &cells, Format format,
                    const std::vector<std::size_t> &widths) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) line += format == Format::Csv ? "," : "  ";
        line += cells[i];
        if (format == Format::Table && i + 1 < cells.size()) {
            line.append(widths[i] - cells[i].size(), ' ');
        }
    }
    return line;
}

void printSightings(const std::vector<Sighting> &sightings) {
    std::string lines, reader, time;
    lines.reserve(sightings.size() * kTypicalLineLength);
    const Sighting *previous = nullptr;
    for (const Sighting &sighting : sightings) {
        if (!previous || previous->reader != sighting.reader)
            reader = jsontext::quoted(sighting.reader);
        if (!previous || previous->time != sighting.time)
            time = jsontext::quoted(utcText(sighting.time));
        appendNdjsonLine(lines, sighting, reader, time);
        previous = &sighting;
    }
    if (!lines.empty()) {
        lines.pop_back();
        printLine(lines);
    }
}

sigset_t interruptSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    return set;
}

}  // namespace

TagSink::TagSink(Format format) : format_(format) {
    if (format_ == Format::Ndjson) writer_ = std::thread([this] { writeLines(); });
}

// A stream that ends in a failure leaves its queued lines written and no merged list.
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
        for (const Sighting &sighting : sightings) merge(sighting);
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
        const std::vector<Sighting> sightings = std::move(pending_.front());
        pending_.pop_front();
        changed_.notify_all();
        lock.unlock();
        printSightings(sightings);
        lock.lock();
    }
}

void TagSink::merge(const Sighting &sighting) {
    const auto [found, inserted] = rowOfEpc_.try_emplace(epcText(sighting), rows_.size());
    if (inserted) rows_.push_back({sighting, sighting.time, 0});
    Row &row = rows_[found->second];
    row.latest = sighting;
    ++row.count;
}

void TagSink::finish() {
    stopWriter();
    const std::lock_guard lock(mutex_);
    if (format_ == Format::Ndjson) return;
    std::vector<std::vector<std::string>> table = {
        {"epc", "antenna", "count", "rssi", "first_seen", "last_seen"}};
    for (const Row &row : rows_) {
        table.push_back({epcText(row.latest), std::to_string(row.latest.record.antenna),
                         std::to_string(row.count), std::to_string(row.latest.record.rssi),
                         utcText(row.firstSeen), utcText(row.latest.time)});
    }
    std::vector<std::size_t> widths(table.front().size(), 0);
    for (const auto &cells : table) {
        for (std::size_t i = 0; i < cells.size(); ++i)
            widths[i] = std::max(widths[i], cells[i].size());
    }
    std::string text;
    for (const auto &cells : table) text += rowLine(cells, format_, widths) + "\n";
    text.pop_back();
    printLine(text);
}

InterruptWatch::InterruptWatch() {
    const sigset_t set = interruptSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool InterruptWatch::waitFor(std::chrono::milliseconds timeout) {
    if (interrupted_) return true;
    const sigset_t set = interruptSet();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    const timespec wait{static_cast<std::time_t>(seconds.count()),
                        static_cast<long>(std::chrono::nanoseconds(timeout - seconds).count())};
    int signal = -1;
    do {
        signal = sigtimedwait(&set, nullptr, &wait);
    } while (signal < 0 && errno == EINTR);
    interrupted_ = signal == SIGINT;
    return interrupted_;
}

Clock::time_point streamEnd(double seconds) {
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

}  // namespace cli
