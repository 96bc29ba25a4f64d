// Exit statuses and the one failure type every command throws: what failed, as one line,
// and the status it ends the program with.
#pragma once

#include <stdexcept>
#include <string>

namespace cli {

enum ExitStatus : int {
    kSuccess = 0,
    kReaderFailed = 1,  // the reader refused a command (answered with a failure status)
    kUsage = 2,         // bad option, unknown command, malformed address, bad value
    kCannotOpen = 3,    // the reader could not be opened or did not say who it is
    kFileFailed = 4,    // a file could not be read or written
    kLinkLost = 5,      // the link to the reader went down during the job
    kNoAnswer = 6,      // no answer within the wait, or --max-time reached
    kNoTag = 7,         // no tag (or not the tag asked for) in the field
    kWrongFamily = 8,   // the reader is of another family than --family names
    // Ctrl-C stopped a job that cannot end cleanly (128 + SIGINT, as shells report it)
    kInterrupted = 130,
};

class Failure : public std::runtime_error {
  public:
    Failure(ExitStatus status, const std::string &message)
        : std::runtime_error(message), status_(status) {}
    ExitStatus status() const { return status_; }

  private:
    ExitStatus status_;
};

[[noreturn]] void usageError(const std::string &message);
// A reader command returned 0: says why as well as the open session can tell (refused, no
// answer within the wait, link lost) and ends with the matching status.
[[noreturn]] void readerFailed(const std::string &what);

// Writes `message` to stderr as exactly one line, prefixed with the program name.
void printError(const std::string &message);

}  // namespace cli
