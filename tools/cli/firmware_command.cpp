// firmware upgrade: a new firmware image sent block by block, with a progress bar on a
// terminal or ndjson progress objects with --json. Ctrl-C stops between blocks.
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "cli_error.h"
#include "commands.h"
#include "firmware_upgrade.h"
#include "output.h"
#include "stop_signals.h"
#include "tag_stream.h"
#include "values.h"

namespace cli {

namespace {

struct UpgradeArguments {
    std::string file;
    std::string password;  // empty: the commands without a password
    std::string blockSize = std::to_string(firmware::kDefaultBlockSize);
};

[[noreturn]] void cannotRead(const std::string &path) {
    throw Failure(kFileFailed, "cannot read " + path + ": " + std::strerror(errno));
}

// The whole file, read up to one byte past the largest image these blocks can carry, so a
// huge file (or a device that never ends) is refused rather than held in memory.
int keepOpen(std::FILE *) {
    return 0;
}

// "-" is standard input; a directory is refused as one (reading it would fail less clearly).
Bytes readImage(const std::string &path, std::size_t blockSize) {
    const bool standardInput = path == "-";
    std::error_code ignored;
    if (!standardInput && std::filesystem::is_directory(path, ignored)) {
        throw Failure(kFileFailed, "cannot read " + path + ": it is a directory");
    }
    int (*const closer)(std::FILE *) = standardInput ? keepOpen : std::fclose;
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(
        standardInput ? stdin : std::fopen(path.c_str(), "rb"), closer);
    if (!file) cannotRead(path);
    const std::size_t limit = firmware::kMostBlocks * blockSize + 1;
    Bytes image;
    std::uint8_t chunk[65536];
    while (image.size() < limit) {
        const std::size_t got =
            std::fread(chunk, 1, std::min(sizeof chunk, limit - image.size()), file.get());
        image.insert(image.end(), chunk, chunk + got);
        if (got == 0) break;
    }
    if (std::ferror(file.get())) cannotRead(path);
    return image;
}

firmware::UpgradeLink readerLink(QnReader *reader, const std::optional<Password> &password) {
    if (!password) {
        return {[reader](std::uint16_t number, std::span<const std::uint8_t> block) {
                    return QnReader_UpgradeDevData(reader, kAnyAddress,
                                                   static_cast<std::uint16_t>(block.size()), number,
                                                   block.data()) == 1;
                },
                [reader] { return QnReader_UpgradeDevEnd(reader, kAnyAddress) == 1; }};
    }
    return {[reader, password](std::uint16_t number, std::span<const std::uint8_t> block) {
                return QnReader_UpgradeDevDataIn(reader, kAnyAddress, password->data(),
                                                 static_cast<std::uint16_t>(block.size()), number,
                                                 block.data()) == 1;
            },
            [reader, password] {
                return QnReader_UpgradeDevEndIn(reader, kAnyAddress, password->data()) == 1;
            }};
}

std::string clockText(firmware::Duration duration) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration).count();
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

// Progress as ndjson objects on stdout (--json), as one redrawn line on a terminal's stderr,
// or not at all.
class ProgressDisplay {
  public:
    explicit ProgressDisplay(bool json) : json_(json), bar_(!json && ::isatty(STDERR_FILENO)) {}

    void show(const firmware::Progress &progress) {
        if (json_) {
            printLine("{\"block\":" + std::to_string(progress.blocksSent - 1) +
                      ",\"blocks\":" + std::to_string(progress.blockCount) +
                      ",\"bytes\":" + std::to_string(progress.bytesSent) +
                      ",\"total\":" + std::to_string(progress.totalBytes) + "}");
        } else if (bar_ && dueToDraw(progress)) {
            std::fputs(barText(progress).c_str(), stderr);
            drawn_ = true;
        }
    }
    // Ends the bar's line, so what follows starts on a line of its own.
    void finish() {
        if (drawn_) std::fputc('\n', stderr);
        drawn_ = false;
    }

  private:
    // Some ten times a second, and the last block always.
    bool dueToDraw(const firmware::Progress &progress) {
        constexpr auto kRedrawPause = std::chrono::milliseconds(100);
        if (progress.blocksSent != progress.blockCount && drawn_ &&
            progress.elapsed - lastDraw_ < kRedrawPause) {
            return false;
        }
        lastDraw_ = progress.elapsed;
        return true;
    }

    static std::string barText(const firmware::Progress &progress) {
        constexpr std::size_t kWidth = 30;
        const std::size_t filled = kWidth * progress.bytesSent / progress.totalBytes;
        const auto left = progress.timeLeft();
        char text[256];
        std::snprintf(
            text, sizeof text, "\r[%s%s] %zu/%zu blocks  %zu/%zu bytes  %.1f KiB/s  %s left ",
            std::string(filled, '#').c_str(), std::string(kWidth - filled, ' ').c_str(),
            progress.blocksSent, progress.blockCount, progress.bytesSent, progress.totalBytes,
            progress.bytesPerSecond() / 1024, left ? clockText(*left).c_str() : "-:--");
        return text;
    }

    bool json_;
    bool bar_;
    bool drawn_ = false;
    firmware::Duration lastDraw_{};
};

const char *outcomeName(firmware::Outcome outcome) {
    switch (outcome) {
        case firmware::Outcome::Completed:
            return "completed";
        case firmware::Outcome::Refused:
            return "refused";
        case firmware::Outcome::BlockFailed:
            return "block-failed";
        case firmware::Outcome::EndFailed:
            return "end-failed";
        case firmware::Outcome::Cancelled:
            return "cancelled";
    }
    return "unknown";
}

void printResult(const firmware::UpgradeResult &result, std::size_t blockCount, bool json) {
    if (!json) {
        if (result.outcome == firmware::Outcome::Completed) {
            printLine("firmware upgraded: " + std::to_string(result.blocksSent) + " blocks, " +
                      std::to_string(result.bytesSent) + " bytes");
        }
        return;
    }
    std::string line = "{\"outcome\":\"" + std::string(outcomeName(result.outcome)) + "\"";
    if (result.failedBlock) line += ",\"failed_block\":" + std::to_string(*result.failedBlock);
    printLine(line + ",\"blocks_sent\":" + std::to_string(result.blocksSent) + ",\"bytes_sent\":" +
              std::to_string(result.bytesSent) + ",\"blocks\":" + std::to_string(blockCount) + "}");
}

ExitStatus statusOf(firmware::Outcome outcome) {
    switch (outcome) {
        case firmware::Outcome::Completed:
            return kSuccess;
        case firmware::Outcome::Refused:
            return kUsage;
        case firmware::Outcome::Cancelled:
            return kInterrupted;
        case firmware::Outcome::BlockFailed:
        case firmware::Outcome::EndFailed:
            break;
    }
    return kReaderFailed;
}

void runUpgrade(const GlobalOptions &global, const UpgradeArguments &arguments) {
    firmware::UpgradeOptions options;
    options.blockSize = parseNumber("block size", arguments.blockSize, firmware::kBlockUnit,
                                    firmware::kLargestBlock);
    const std::string optionsProblem = firmware::optionsProblem(options);
    if (!optionsProblem.empty()) usageError(optionsProblem);
    std::optional<Password> password;
    if (!arguments.password.empty()) password = parsePassword("password", arguments.password);
    checkedAddress(global);

    const Bytes image = readImage(arguments.file, options.blockSize);
    const std::string imageProblem = firmware::imageProblem(image.size(), options);
    if (!imageProblem.empty()) throw Failure(kFileFailed, arguments.file + ": " + imageProblem);

    const Session session(global, Stopping::EndsCleanly);
    std::atomic<bool> cancel{false};
    ProgressDisplay display(global.json);
    const auto result = firmware::upgrade(
        image, options, readerLink(session.reader(), password),
        [&](const firmware::Progress &progress) {
            display.show(progress);
            if (tools::waitForStopSignal(std::chrono::milliseconds(0)) != 0) cancel = true;
        },
        cancel);
    display.finish();
    printResult(result, firmware::blockCount(image.size(), options.blockSize), global.json);
    const ExitStatus status = statusOf(result.outcome);
    if (status != kSuccess) throw Failure(status, "firmware upgrade: " + result.reason);
}

}  // namespace

void addFirmwareCommands(CLI::App &app, const GlobalOptions &options, Action &action) {
    CLI::App *firmware = app.add_subcommand("firmware", "The reader's firmware");
    auto arguments = std::make_shared<UpgradeArguments>();
    CLI::App *upgrade = firmware->add_subcommand("upgrade", "Load a new firmware image");
    upgrade->add_option("FILE", arguments->file, "The firmware image (-: standard input)")
        ->required();
    upgrade
        ->add_option("--password", arguments->password,
                     "Access password, eight hex digits (the password-guarded commands)")
        ->type_name("HEX8");
    upgrade
        ->add_option("--block-size", arguments->blockSize,
                     "Bytes per block: a multiple of 16 up to 1536 (1024)")
        ->type_name("N");
    upgrade->callback(
        [&, arguments] { action = [&, arguments] { runUpgrade(options, *arguments); }; });
}

}  // namespace cli
