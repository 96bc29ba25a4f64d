#include "log.h"

#include <chrono>
#include <cstdio>
#include <mutex>

#include "tag_text.h"

namespace gateway::log {

namespace {

std::mutex mutex;
std::string filePath;
std::FILE *file = nullptr;

std::FILE *target() {
    return file != nullptr ? file : stderr;
}

}  // namespace

bool open(const std::string &path) {
    const std::lock_guard lock(mutex);
    if (path.empty()) return true;
    std::FILE *opened = std::fopen(path.c_str(), "a");
    if (opened == nullptr) return false;
    if (file != nullptr) std::fclose(file);
    file = opened;
    filePath = path;
    return true;
}

void reopen() {
    std::unique_lock lock(mutex);
    if (filePath.empty()) return;
    const std::string path = filePath;
    lock.unlock();
    if (!open(path)) line("cannot reopen the log file " + path);
}

void line(const std::string &text) {
    const std::string stamped =
        tagtext::utcText(std::chrono::system_clock::now()) + " " + text + "\n";
    const std::lock_guard lock(mutex);
    std::fputs(stamped.c_str(), target());
    std::fflush(target());
}

}  // namespace gateway::log
