// Exit statuses and the one failure type every command throws: what failed, as one line,
// and the status it ends the program with.
#pragma once

#include <stdexcept>
#include <string>

namespace cli {

enum ExitStatus : int {
    kSuccess = 0,
    kReaderFailed = 1,  // the reader refused or did not answer a command
    kUsage = 2,         // bad option, unknown command, malformed address, bad value
    kCannotOpen = 3,    // the reader could not be opened or did not say who it is
    kFileFailed = 4,    // a file could not be read or written
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
[[noreturn]] void readerFailed(const std::string &what);

// Writes `message` to stderr as exactly one line, prefixed with the program name.
void printError(const std::string &message);

}  // namespace cli
