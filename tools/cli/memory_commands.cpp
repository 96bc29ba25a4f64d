// read, write, write-epc, lock: tag memory by 16-bit words.
#include <memory>

#include "cli_error.h"
#include "commands.h"
#include "output.h"
#include "values.h"

namespace cli {

namespace {

constexpr unsigned long kMaxWordAddress = 255;
constexpr std::size_t kMaxWords = 255;    // the word count travels in one byte
constexpr std::size_t kMaxEpcWords = 31;  // Gen-2 EPCs hold at most 496 bits

struct MemoryArguments {
    std::string bank, start, words, data, epc, lockCode;
    std::string password = "00000000";
};

void addPasswordOption(CLI::App *command, MemoryArguments &arguments) {
    command->add_option("--password", arguments.password, "Access password, eight hex digits");
}

void runRead(const GlobalOptions &global, const MemoryArguments &arguments) {
    const std::uint8_t bank = parseBank(arguments.bank);
    const auto start =
        static_cast<std::uint8_t>(parseNumber("START", arguments.start, 0, kMaxWordAddress));
    const auto words =
        static_cast<std::uint8_t>(parseNumber("WORDS", arguments.words, 1, kMaxWords));
    const Password password = parsePassword("password", arguments.password);
    const Session session(global);
    Bytes data(words * 2u);
    if (!QnReader_ReadCardG2(session.reader(), kAnyAddress, password.data(), bank, start, words,
                             data.data())) {
        readerFailed("read");
    }
    printLine(session.json() ? "{\"data\":" + jsontext::quoted(hexText(data)) + "}"
                             : hexText(data));
}

void runWrite(const GlobalOptions &global, const MemoryArguments &arguments) {
    const std::uint8_t bank = parseBank(arguments.bank);
    const auto start =
        static_cast<std::uint8_t>(parseNumber("START", arguments.start, 0, kMaxWordAddress));
    const Bytes data = parseHexWords("HEXDATA", arguments.data, kMaxWords);
    const Password password = parsePassword("password", arguments.password);
    const Session session(global);
    if (!QnReader_WriteCardG2(session.reader(), kAnyAddress, password.data(), bank, start,
                              static_cast<std::uint8_t>(data.size() / 2), data.data())) {
        readerFailed("write");
    }
    printDone(session.json());
}

void runWriteEpc(const GlobalOptions &global, const MemoryArguments &arguments) {
    const Bytes epc = parseHexWords("EPC", arguments.epc, kMaxEpcWords);
    const Password password = parsePassword("password", arguments.password);
    const Session session(global);
    if (!QnReader_WriteEPCG2(session.reader(), kAnyAddress, password.data(), epc.data(),
                             static_cast<std::uint8_t>(epc.size() / 2))) {
        readerFailed("write-epc");
    }
    printDone(session.json());
}

void runLock(const GlobalOptions &global, const MemoryArguments &arguments) {
    const Password password = parsePassword("PASSWORD_HEX8", arguments.password);
    const auto code = static_cast<std::uint8_t>(parseNumber("CODE", arguments.lockCode, 0, 255));
    const Session session(global);
    if (!QnReader_LockCardG2(session.reader(), kAnyAddress, password.data(), code)) {
        readerFailed("lock");
    }
    printDone(session.json());
}

using Runner = void (*)(const GlobalOptions &, const MemoryArguments &);

void setAction(CLI::App *command, const GlobalOptions &options, Action &action,
               const std::shared_ptr<MemoryArguments> &arguments, Runner run) {
    command->callback([&options, &action, arguments, run] {
        action = [&options, arguments, run] { run(options, *arguments); };
    });
}

}  // namespace

void addMemoryCommands(CLI::App &app, const GlobalOptions &options, Action &action) {
    const char *bankHelp = "reserved, epc, tid, user or 0-3";
    auto read = std::make_shared<MemoryArguments>();
    CLI::App *command = app.add_subcommand("read", "Read tag memory; prints the data as hex");
    command->add_option("BANK", read->bank, bankHelp)->required();
    command->add_option("START", read->start, "First word, decimal or 0x hex")->required();
    command->add_option("WORDS", read->words, "Number of words, decimal or 0x hex")->required();
    addPasswordOption(command, *read);
    setAction(command, options, action, read, runRead);

    auto write = std::make_shared<MemoryArguments>();
    command = app.add_subcommand("write", "Write whole words of tag memory");
    command->add_option("BANK", write->bank, bankHelp)->required();
    command->add_option("START", write->start, "First word, decimal or 0x hex")->required();
    command->add_option("HEXDATA", write->data, "The words, four hex digits each")->required();
    addPasswordOption(command, *write);
    setAction(command, options, action, write, runWrite);

    auto writeEpc = std::make_shared<MemoryArguments>();
    command = app.add_subcommand("write-epc", "Write a new EPC");
    command->add_option("EPC", writeEpc->epc, "The EPC, four hex digits a word")->required();
    addPasswordOption(command, *writeEpc);
    setAction(command, options, action, writeEpc, runWriteEpc);

    auto lock = std::make_shared<MemoryArguments>();
    command = app.add_subcommand("lock", "Lock tag memory with a lock code");
    command->add_option("PASSWORD_HEX8", lock->password, "Access password, eight hex digits")
        ->required();
    command->add_option("CODE", lock->lockCode, "Lock code, 0-255, decimal or 0x hex")->required();
    setAction(command, options, action, lock, runLock);
}

}  // namespace cli
