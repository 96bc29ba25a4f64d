// A tool run as a child process: its arguments and environment, its stdout
// and stderr captured whole, signals sent while it runs, its exit status at the end.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

struct Finished {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

class ChildProcess {
  public:
    // With `stdoutFile`, stdout goes to that file instead of being captured.
    ChildProcess(const std::string &program, const std::vector<std::string> &arguments,
                 const std::vector<std::string> &environment, const std::string &stdoutFile = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // Reads until stdout holds a whole line or the deadline passes; true for a line.
    bool waitForLine(std::chrono::seconds deadline);
    // Reads until `done` holds for what stdout and stderr said so far, or the deadline
    // passes (or both streams ended); true when it held.
    bool waitFor(const std::function<bool(const Finished &sofar)> &done,
                 std::chrono::seconds deadline);
    // What the streams said so far.
    const Finished &sofar() const { return result_; }
    void signal(int number) const;
    // Reads to the end of both streams and waits for the exit (killed after the deadline).
    Finished finish(std::chrono::seconds deadline = std::chrono::seconds(60));

  private:
    // Reads what is there, waiting up to `timeout`; false once both streams ended.
    bool readSome(std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    Finished result_;
};

// The environment of this process without the reader variables, plus `extra` ("NAME=value").
std::vector<std::string> childEnvironment(const std::vector<std::string> &extra);

}  // namespace testsupport
