#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char **environ;

namespace testsupport {

namespace {

std::vector<char *> pointersTo(std::vector<std::string> &texts) {
    std::vector<char *> pointers;
    for (std::string &text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

void closeFd(int &fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &arguments,
                           const std::vector<std::string> &environment,
                           const std::string &stdoutFile) {
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) return;
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFile.empty()) {
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutFile.c_str(), O_WRONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envp = environment;
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, pointersTo(argv).data(),
                      pointersTo(envp).data()) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    closeFd(outFd_);
    closeFd(errFd_);
}

bool ChildProcess::readSome(std::chrono::milliseconds timeout) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (outFd_ < 0 && errFd_ < 0) return false;
    if (::poll(fds, 2, static_cast<int>(timeout.count())) <= 0) return true;
    std::string *targets[2] = {&result_.out, &result_.err};
    int *descriptors[2] = {&outFd_, &errFd_};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        char buffer[65536];
        const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
        if (got > 0) {
            targets[i]->append(buffer, static_cast<size_t>(got));
        } else {
            closeFd(*descriptors[i]);
        }
    }
    return true;
}

bool ChildProcess::waitForLine(std::chrono::seconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (result_.out.find('\n') == std::string::npos) {
        if (std::chrono::steady_clock::now() >= end || !readSome(std::chrono::milliseconds(100))) {
            return false;
        }
    }
    return true;
}

bool ChildProcess::waitFor(const std::function<bool(const Finished &)> &done,
                           std::chrono::seconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done(result_)) {
        if (std::chrono::steady_clock::now() >= end || !readSome(std::chrono::milliseconds(100))) {
            return done(result_);
        }
    }
    return true;
}

void ChildProcess::signal(int number) const {
    if (pid_ > 0) ::kill(pid_, number);
}

Finished ChildProcess::finish(std::chrono::seconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end && readSome(std::chrono::milliseconds(100))) {
    }
    if (pid_ <= 0) return result_;
    if (outFd_ >= 0 || errFd_ >= 0) ::kill(pid_, SIGKILL);  // still running past the deadline
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result_;
}

std::vector<std::string> childEnvironment(const std::vector<std::string> &extra) {
    std::vector<std::string> environment;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "TAGBENCH_READER=", 16) == 0) continue;
        if (std::strncmp(*entry, "QNHID_SIM=", 10) == 0) continue;
        environment.emplace_back(*entry);
    }
    environment.insert(environment.end(), extra.begin(), extra.end());
    return environment;
}

}  // namespace testsupport
