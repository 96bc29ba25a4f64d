// inventory (the host asks, round after round) and watch (the reader reports by itself).
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <span>
#include <string_view>

#include "cli_error.h"
#include "commands.h"
#include "hex_text.h"
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

constexpr unsigned kLongestInterval = 3600000;

// A number option's check that says in words what the option takes ("takes ...": the
// error line puts the option's name before it).
template <typename Number>
CLI::Validator rangeInWords(const std::string &what, Number lowest, Number highest) {
    return CLI::Validator(
        [=](std::string &text) {
            std::size_t used = 0;
            double value = 0;
            try {
                value = std::stod(text, &used);
            } catch (const std::exception &) {
                used = 0;
            }
            const bool inRange =
                used == text.size() && !text.empty() && value >= lowest && value <= highest;
            return inRange ? std::string() : what;
        },
        "");
}

void addStreamOptions(CLI::App *command, StreamOptions &stream) {
    command->add_option("--duration", stream.durationSeconds, "Stop after SECONDS (0: no limit)")
        ->check(rangeInWords("takes seconds, 0 to 31622400", 0.0, kLongestDuration));
    command->add_option("--format", stream.format, "table, csv or ndjson")
        ->check(CLI::IsMember({"table", "csv", "ndjson"}));
}

// One inventory round: its tags, or none when the field is empty (the reader then answers
// with a failure status, as it does for a refused inventory).
std::vector<Sighting> inventoryRound(const Session &session) {
    std::uint8_t records[QN_TAG_RECORD_BYTES];
    std::uint16_t byteLength = 0, tagCount = 0;
    // A round without an answer is as empty as a refused one; a lost link ends the stream.
    if (!QnReader_InventoryG2(session.reader(), kAnyAddress, records, &byteLength, &tagCount)) {
        return {};
    }
    return tagtext::inventorySightings(session.identity().serialText(), records, byteLength);
}

void runInventory(const GlobalOptions &global, const InventoryOptions &options) {
    TagSink sink(chooseFormat(options.stream.format, global.json));
    Session session(global, Stopping::EndsCleanly);
    StreamEnd end(global, options.stream.durationSeconds);
    for (unsigned round = 0; options.rounds == 0 || round < options.rounds; ++round) {
        const auto pause = std::chrono::milliseconds(round == 0 ? 0 : options.intervalMs);
        if (!end.pause(session, pause)) break;
        sink.add(inventoryRound(session));
    }
    sink.finish();
    end.check(session, "inventory");
}

// Active-mode reports: the callback's data holds the records, its length the report's
// length field, 12 more than the record bytes.
void onReport(QnReader *, void *user, int32_t event, int32_t /*tag count*/, const uint8_t *data,
              int32_t length, const uint8_t *serial7) {
    if (event != QN_EVENT_DATA || data == nullptr || serial7 == nullptr) return;
    const std::span records(data, tagrecord::reportRecordBytes(length));
    const std::string reader = hextext::compact(std::span(serial7, 7));
    static_cast<TagSink *>(user)->add(tagtext::reportSightings(reader, records, length));
}

// Whether the reader's device record says answer mode (the list's first choice, by name or
// by position); false when its family has no work mode or the record cannot be read.
bool inAnswerMode(const Session &session) {
    std::string record(64 * 1024, '\0');
    if (!QnReader_GetParams(session.reader(), kAnyAddress, "device", record.data(),
                            record.size())) {
        return false;
    }
    constexpr std::string_view key = "\"work_mode\":";
    const std::size_t at = record.find(key);
    if (at == std::string::npos) return false;
    const char *value = record.c_str() + at + key.size();
    return std::string_view(value).starts_with("\"answer\"") ||
           (*value == '0' && !std::isdigit(static_cast<unsigned char>(value[1])));
}

// A reader in answer mode never reports by itself: watching it would show nothing.
void refuseAnswerMode(const Session &session) {
    if (!inAnswerMode(session)) return;
    throw Failure(kReaderFailed,
                  "watch: the reader is in answer mode and reports nothing by itself; run "
                  "inventory, or switch it with: params set work_mode=active");
}

void runWatch(const GlobalOptions &global, const StreamOptions &options) {
    TagSink sink(chooseFormat(options.format, global.json));
    Session session(global, Stopping::EndsCleanly);
    refuseAnswerMode(session);
    StreamEnd end(global, options.durationSeconds);
    session.onReports(
        [&sink](int32_t count, const uint8_t *data, int32_t length, const uint8_t *serial7) {
            onReport(nullptr, &sink, QN_EVENT_DATA, count, data, length, serial7);
        });
    while (end.pause(session, std::chrono::hours(24))) {
    }
    session.close();  // no report arrives after this
    sink.finish();
    end.check(session, "watch");
}

}  // namespace

void addInventoryCommands(CLI::App &app, const GlobalOptions &options, Action &action) {
    auto inventory = std::make_shared<InventoryOptions>();
    CLI::App *command =
        app.add_subcommand("inventory", "Answer-mode inventories, round after round");
    addStreamOptions(command, inventory->stream);
    command->add_option("--rounds", inventory->rounds, "Stop after N rounds")
        ->check(rangeInWords("takes a count, 1 to 1000000000", 1u, 1000000000u));
    command->add_option("--interval", inventory->intervalMs, "Milliseconds between rounds (40)")
        ->check(rangeInWords("takes milliseconds, 0 to 3600000", 0u, kLongestInterval));
    command->callback(
        [&, inventory] { action = [&, inventory] { runInventory(options, *inventory); }; });

    auto watch = std::make_shared<StreamOptions>();
    command = app.add_subcommand("watch", "The reader's active-mode reports, as they arrive");
    addStreamOptions(command, *watch);
    command->callback([&, watch] { action = [&, watch] { runWatch(options, *watch); }; });
}

}  // namespace cli
