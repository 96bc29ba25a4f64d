// read, write, write-epc, lock: tag memory by 16-bit words, on one tag chosen by its EPC, a
// mask, or being the only tag in the field.
#include <memory>
#include <optional>
#include <set>

#include "cli_error.h"
#include "commands.h"
#include "hex_text.h"
#include "output.h"
#include "tag_stream.h"
#include "values.h"

namespace cli {

namespace {

constexpr unsigned long kMaxWordAddress = 255;
constexpr std::size_t kMaxWords = 255;    // the word count travels in one byte
constexpr std::size_t kMaxEpcWords = 31;  // Gen-2 EPCs hold at most 496 bits
constexpr std::size_t kInventoryBufferSize = 1451;
constexpr unsigned kBitsPerWord = 16;

struct MemoryArguments {
    std::string bank, start, words, data, epc, lockCode, lockAction;
    std::string password = "00000000";
    std::string chosenEpc, mask;  // --epc, --mask
};

// --mask BANK:BITPOINTER:HEX: the tag's bits from BITPOINTER on must be HEX's.
struct Mask {
    std::uint8_t bank = 0;
    unsigned bitPointer = 0;
    Bytes bits;  // the HEX digits, most significant bit first; an odd digit count pads one
    unsigned bitCount = 0;
};

Mask parseMask(const std::string &text) {
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos) {
        usageError("--mask \"" + text + "\" is not BANK:BITPOINTER:HEX");
    }
    Mask mask;
    mask.bank = parseBank(text.substr(0, first));
    mask.bitPointer = static_cast<unsigned>(parseNumber(
        "--mask bit pointer", text.substr(first + 1, second - first - 1), 0, kMaxWordAddress * 16));
    const std::string hex = text.substr(second + 1);
    if (hex.empty()) usageError("--mask \"" + text + "\" has no bits after BITPOINTER");
    // Four bits a digit: an odd count fills the last byte's low half, which is not compared.
    mask.bits = parseHex("--mask bits", hex.size() % 2 == 0 ? hex : hex + "0");
    mask.bitCount = static_cast<unsigned>(hex.size()) * 4;
    return mask;
}

// The reader offers no way to address one tag: a memory command acts on whichever tag
// answers. So a command goes ahead only when the field holds exactly one tag and that tag is
// the one asked for; the tag's EPC is returned, to be named in the output.
class TagChoice {
  public:
    explicit TagChoice(const MemoryArguments &arguments) {
        if (!arguments.chosenEpc.empty()) {
            epc_ = hextext::compact(parseHexWords("--epc", arguments.chosenEpc, kMaxEpcWords));
        }
        if (!arguments.mask.empty()) mask_ = parseMask(arguments.mask);
    }

    std::string tagFor(Session &session, const std::string &what, const Password &password) const {
        const std::set<std::string> field = epcsInTheField(session);
        if (field.empty()) throw Failure(kNoTag, what + ": no tag in the field");
        if (!epc_.empty() && !field.contains(epc_)) {
            throw Failure(kNoTag, what + ": tag " + epc_ + " is not in the field");
        }
        if (field.size() > 1) {
            throw Failure(kNoTag, what + ": " + std::to_string(field.size()) +
                                      " tags in the field, and the reader cannot address one of "
                                      "them; leave only the tag wanted in the field");
        }
        const std::string epc = *field.begin();
        if (mask_ && !matches(session, *mask_, password, what)) {
            throw Failure(kNoTag,
                          what + ": the tag in the field (" + epc + ") does not match --mask");
        }
        return epc;
    }

  private:
    // One inventory: a refusal is the reader's answer for an empty field.
    static std::set<std::string> epcsInTheField(Session &session) {
        std::uint8_t records[kInventoryBufferSize];
        std::uint16_t byteLength = 0, tagCount = 0;
        if (!QnReader_InventoryG2(session.reader(), kAnyAddress, records, &byteLength, &tagCount)) {
            try {
                session.failed("inventory");
            } catch (const Failure &failure) {
                if (failure.status() != kReaderFailed) throw;
            }
            return {};
        }
        std::set<std::string> epcs;
        for (const Sighting &sighting : tagtext::inventorySightings("", records, byteLength))
            epcs.insert(hextext::compact(sighting.record.epc));
        return epcs;
    }

    static bool matches(Session &session, const Mask &mask, const Password &password,
                        const std::string &what) {
        const unsigned bits = mask.bitCount;
        const unsigned firstWord = mask.bitPointer / kBitsPerWord;
        const unsigned words = (mask.bitPointer + bits - 1) / kBitsPerWord - firstWord + 1;
        if (words > kMaxWords) usageError("--mask reaches past the words one read can take");
        Bytes data(words * 2u);
        session.run(what + ": reading the --mask bits", Repeat::Safe, [&] {
            return QnReader_ReadCardG2(session.reader(), kAnyAddress, password.data(), mask.bank,
                                       static_cast<std::uint8_t>(firstWord),
                                       static_cast<std::uint8_t>(words), data.data());
        });
        for (unsigned i = 0; i < bits; ++i) {
            const unsigned at = mask.bitPointer - firstWord * kBitsPerWord + i;
            const bool tagBit = (data[at / 8] >> (7 - at % 8)) & 1;
            const bool maskBit = (mask.bits[i / 8] >> (7 - i % 8)) & 1;
            if (tagBit != maskBit) return false;
        }
        return true;
    }

    std::string epc_;
    std::optional<Mask> mask_;
};

// The lock code as the reader takes it: the area in the low nibble, the action in the high one.
constexpr const char *kLockAreas[] = {"epc", "tid", "user", "access-password", "kill-password"};
constexpr const char *kLockActions[] = {"lock", "unlock", "perma-unlock", "perma-lock"};

std::uint8_t parseLockAction(const std::string &text) {
    const std::size_t equals = text.find('=');
    const std::string area = text.substr(0, equals);
    const std::string action = equals == std::string::npos ? "" : text.substr(equals + 1);
    int areaCode = -1, actionCode = -1;
    for (int i = 0; i < 5; ++i) {
        if (area == kLockAreas[i]) areaCode = i;
    }
    for (int i = 0; i < 4; ++i) {
        if (action == kLockActions[i]) actionCode = i;
    }
    if (areaCode < 0 || actionCode < 0) {
        usageError("--lock \"" + text +
                   "\" is not AREA=ACTION, AREA one of epc, tid, user, access-password, "
                   "kill-password and ACTION one of lock, unlock, perma-lock, perma-unlock");
    }
    return static_cast<std::uint8_t>(actionCode << 4 | areaCode);
}

std::string lockActionText(std::uint8_t code) {
    const unsigned area = code & 0x0F, action = code >> 4;
    if (area >= 5 || action >= 4) return "code " + std::to_string(code);
    return std::string(kLockAreas[area]) + "=" + kLockActions[action];
}

// One line naming the tag touched: "EPC [MORE]" or a JSON object with `members` after it.
void printTouched(const Session &session, const std::string &epc, const std::string &plainMore,
                  const std::string &members) {
    if (session.json()) {
        printLine("{\"epc\":" + jsontext::quoted(epc) + members + "}");
    } else {
        printLine(plainMore.empty() ? epc : epc + " " + plainMore);
    }
}

void addPasswordOption(CLI::App *command, MemoryArguments &arguments) {
    command->add_option("--password", arguments.password, "Access password, eight hex digits");
}

void addChoiceOptions(CLI::App *command, MemoryArguments &arguments) {
    command->add_option("--epc", arguments.chosenEpc,
                        "Act only if this tag (EPC in hex) is the one tag in the field");
    command->add_option("--mask", arguments.mask,
                        "Act only if the one tag in the field has these bits: "
                        "BANK:BITPOINTER:HEX");
}

void runRead(const GlobalOptions &global, const MemoryArguments &arguments) {
    const std::uint8_t bank = parseBank(arguments.bank);
    const auto start =
        static_cast<std::uint8_t>(parseNumber("START", arguments.start, 0, kMaxWordAddress));
    const auto words =
        static_cast<std::uint8_t>(parseNumber("WORDS", arguments.words, 1, kMaxWords));
    const Password password = parsePassword("password", arguments.password);
    const TagChoice choice(arguments);
    Session session(global);
    const std::string epc = choice.tagFor(session, "read", password);
    Bytes data(words * 2u);
    session.run("read", Repeat::Safe, [&] {
        return QnReader_ReadCardG2(session.reader(), kAnyAddress, password.data(), bank, start,
                                   words, data.data());
    });
    printTouched(session, epc, hextext::compact(data),
                 ",\"data\":" + jsontext::quoted(hextext::compact(data)));
}

void runWrite(const GlobalOptions &global, const MemoryArguments &arguments) {
    const std::uint8_t bank = parseBank(arguments.bank);
    const auto start =
        static_cast<std::uint8_t>(parseNumber("START", arguments.start, 0, kMaxWordAddress));
    const Bytes data = parseHexWords("HEXDATA", arguments.data, kMaxWords);
    const Password password = parsePassword("password", arguments.password);
    const TagChoice choice(arguments);
    Session session(global);
    const std::string epc = choice.tagFor(session, "write", password);
    session.run("write", Repeat::Unsafe, [&] {
        return QnReader_WriteCardG2(session.reader(), kAnyAddress, password.data(), bank, start,
                                    static_cast<std::uint8_t>(data.size() / 2), data.data());
    });
    printTouched(session, epc, "", "");
}

void runWriteEpc(const GlobalOptions &global, const MemoryArguments &arguments) {
    const Bytes newEpc = parseHexWords("EPC", arguments.epc, kMaxEpcWords);
    const Password password = parsePassword("password", arguments.password);
    const TagChoice choice(arguments);
    Session session(global);
    const std::string epc = choice.tagFor(session, "write-epc", password);
    session.run("write-epc", Repeat::Unsafe, [&] {
        return QnReader_WriteEPCG2(session.reader(), kAnyAddress, password.data(), newEpc.data(),
                                   static_cast<std::uint8_t>(newEpc.size() / 2));
    });
    printTouched(session, epc, hextext::compact(newEpc),
                 ",\"new_epc\":" + jsontext::quoted(hextext::compact(newEpc)));
}

void runLock(const GlobalOptions &global, const MemoryArguments &arguments) {
    const Password password = parsePassword("PASSWORD_HEX8", arguments.password);
    if (arguments.lockCode.empty() == arguments.lockAction.empty()) {
        usageError("lock takes either --lock AREA=ACTION or a CODE, one of them");
    }
    const std::uint8_t code =
        arguments.lockCode.empty()
            ? parseLockAction(arguments.lockAction)
            : static_cast<std::uint8_t>(parseNumber("CODE", arguments.lockCode, 0, 255));
    const TagChoice choice(arguments);
    Session session(global);
    const std::string epc = choice.tagFor(session, "lock", password);
    session.run("lock", Repeat::Unsafe, [&] {
        return QnReader_LockCardG2(session.reader(), kAnyAddress, password.data(), code);
    });
    printTouched(session, epc, lockActionText(code),
                 ",\"lock\":" + jsontext::quoted(lockActionText(code)));
}

using Runner = void (*)(const GlobalOptions &, const MemoryArguments &);

void setAction(CLI::App *command, const GlobalOptions &options, Action &action,
               const std::shared_ptr<MemoryArguments> &arguments, Runner run) {
    addChoiceOptions(command, *arguments);
    command->callback([&options, &action, arguments, run] {
        action = [&options, arguments, run] { run(options, *arguments); };
    });
}

}  // namespace

void addMemoryCommands(CLI::App &app, const GlobalOptions &options, Action &action) {
    const char *bankHelp = "reserved, epc, tid, user or 0-3";
    auto read = std::make_shared<MemoryArguments>();
    CLI::App *command =
        app.add_subcommand("read", "Read tag memory; prints the tag's EPC and the data as hex");
    command->add_option("BANK", read->bank, bankHelp)->required();
    command->add_option("START", read->start, "First word, decimal or 0x hex")->required();
    command->add_option("WORDS", read->words, "Number of words, decimal or 0x hex")->required();
    addPasswordOption(command, *read);
    setAction(command, options, action, read, runRead);

    auto write = std::make_shared<MemoryArguments>();
    command = app.add_subcommand("write", "Write whole words of tag memory; prints the tag's EPC");
    command->add_option("BANK", write->bank, bankHelp)->required();
    command->add_option("START", write->start, "First word, decimal or 0x hex")->required();
    command->add_option("HEXDATA", write->data, "The words, four hex digits each")->required();
    addPasswordOption(command, *write);
    setAction(command, options, action, write, runWrite);

    auto writeEpc = std::make_shared<MemoryArguments>();
    command = app.add_subcommand("write-epc", "Write a new EPC; prints the old and the new EPC");
    command->add_option("EPC", writeEpc->epc, "The EPC, four hex digits a word")->required();
    addPasswordOption(command, *writeEpc);
    setAction(command, options, action, writeEpc, runWriteEpc);

    auto lock = std::make_shared<MemoryArguments>();
    command = app.add_subcommand("lock", "Lock or unlock a memory area; prints the tag's EPC");
    command->add_option("PASSWORD_HEX8", lock->password, "Access password, eight hex digits")
        ->required();
    command->add_option("CODE", lock->lockCode,
                        "Lock code, 0-255: action * 16 + area (instead of --lock)");
    command->add_option("--lock", lock->lockAction,
                        "AREA=ACTION: AREA epc, tid, user, access-password or kill-password; "
                        "ACTION lock (password needed to write), unlock, perma-lock or "
                        "perma-unlock");
    setAction(command, options, action, lock, runLock);
}

}  // namespace cli
