// inventory (the host asks, round after round) and watch (the reader reports by itself).
#include <algorithm>
#include <memory>
#include <span>

#include "commands.h"
#include "tag_stream.h"

namespace cli {

namespace {

struct StreamOptions {
    double durationSeconds = 0;  // 0: until Ctrl-C (or the rounds)
    std::string format;          // empty: chosen by chooseFormat
};

struct InventoryOptions {
    StreamOptions stream;
    unsigned rounds = 0;  // 0: no limit
    unsigned intervalMs = 40;
};

constexpr double kLongestDuration = 366.0 * 24 * 3600;

void addStreamOptions(CLI::App *command, StreamOptions &stream) {
    command->add_option("--duration", stream.durationSeconds, "Stop after SECONDS (0: no limit)")
        ->check(CLI::Range(0.0, kLongestDuration));
    command->add_option("--format", stream.format, "table, csv or ndjson")
        ->check(CLI::IsMember({"table", "csv", "ndjson"}));
}

// One inventory round: its tags, or none when the field is empty (the reader then answers
// with a failure status, as it does for a refused inventory).
std::vector<Sighting> inventoryRound(const Session &session) {
    std::uint8_t records[QN_TAG_RECORD_BYTES];
    std::uint16_t byteLength = 0, tagCount = 0;
    if (!QnReader_InventoryG2(session.reader(), kAnyAddress, records, &byteLength, &tagCount)) {
        return {};
    }
    return tagtext::inventorySightings(session.identity().serialText(), records, byteLength);
}

void runInventory(const GlobalOptions &global, const InventoryOptions &options) {
    TagSink sink(chooseFormat(options.stream.format, global.json));
    const Session session(global);
    InterruptWatch interrupt;
    const Clock::time_point end = streamEnd(options.stream.durationSeconds);
    for (unsigned round = 0; options.rounds == 0 || round < options.rounds; ++round) {
        const auto pause =
            round == 0 ? std::chrono::milliseconds(0)
                       : std::min(std::chrono::milliseconds(options.intervalMs), timeLeft(end));
        if (interrupt.waitFor(pause) || Clock::now() >= end) break;
        sink.add(inventoryRound(session));
    }
    sink.finish();
}

// Active-mode reports: the callback's data holds the records, its length the report's
// length field, 12 more than the record bytes.
void onReport(QnReader *, void *user, int32_t event, int32_t /*tag count*/, const uint8_t *data,
              int32_t length, const uint8_t *serial7) {
    if (event != QN_EVENT_DATA || data == nullptr || serial7 == nullptr) return;
    const std::span records(data, tagrecord::reportRecordBytes(length));
    const std::string reader = hexText(std::span(serial7, 7));
    static_cast<TagSink *>(user)->add(tagtext::reportSightings(reader, records, length));
}

void runWatch(const GlobalOptions &global, const StreamOptions &options) {
    TagSink sink(chooseFormat(options.format, global.json));
    Session session(global);
    InterruptWatch interrupt;
    const Clock::time_point end = streamEnd(options.durationSeconds);
    QnReader_SetCallback(session.reader(), onReport, &sink);
    while (Clock::now() < end && !interrupt.waitFor(timeLeft(end))) {
    }
    session.close();  // no report arrives after this
    sink.finish();
}

}  // namespace

void addInventoryCommands(CLI::App &app, const GlobalOptions &options, Action &action) {
    auto inventory = std::make_shared<InventoryOptions>();
    CLI::App *command =
        app.add_subcommand("inventory", "Answer-mode inventories, round after round");
    addStreamOptions(command, inventory->stream);
    command->add_option("--rounds", inventory->rounds, "Stop after N rounds")
        ->check(CLI::Range(1u, 1000000000u));
    command->add_option("--interval", inventory->intervalMs, "Milliseconds between rounds (40)")
        ->check(CLI::Range(0u, 3600000u));
    command->callback(
        [&, inventory] { action = [&, inventory] { runInventory(options, *inventory); }; });

    auto watch = std::make_shared<StreamOptions>();
    command = app.add_subcommand("watch", "The reader's active-mode reports, as they arrive");
    addStreamOptions(command, *watch);
    command->callback([&, watch] { action = [&, watch] { runWatch(options, *watch); }; });
}

}  // namespace cli
