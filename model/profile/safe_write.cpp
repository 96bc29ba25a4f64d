#include "profile/safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace safewrite {

namespace {

std::string errorText(int error) {
    return std::strerror(error);
}

// Writes every byte to the open descriptor; the reason when it could not, empty otherwise.
std::string writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return errorText(written < 0 ? errno : ENOSPC);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

// Writes and closes; the reason of the first failure.
std::string writeAndClose(int descriptor, std::string_view bytes) {
    std::string reason = writeAll(descriptor, bytes);
    if (reason.empty() && ::fsync(descriptor) != 0) reason = errorText(errno);
    if (::close(descriptor) != 0 && reason.empty()) reason = errorText(errno);
    return reason;
}

std::string temporaryPathBeside(const std::string &path) {
    static std::atomic<unsigned> counter{0};
    return path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

std::string rewriteInPlace(const std::string &path, std::string_view bytes) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor < 0) return errorText(errno);
    return writeAndClose(descriptor, bytes);
}

}  // namespace

std::string linkRefusal(const std::string &path) {
    std::error_code ignored;
    if (!std::filesystem::is_symlink(path, ignored)) return {};
    return "It is a symbolic link: nothing is written through a link, so the file it points to "
           "stays as it was.";
}

std::string createNew(const std::string &path, std::string_view bytes) {
    const int descriptor =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor < 0) {
        const int error = errno;
        // O_NOFOLLOW answers a link with ELOOP, O_EXCL with EEXIST.
        const std::string refusal = linkRefusal(path);
        return refusal.empty() ? errorText(error) : refusal;
    }
    std::string reason = writeAndClose(descriptor, bytes);
    if (!reason.empty()) ::unlink(path.c_str());
    return reason;
}

std::string replace(const std::string &path, std::string_view bytes, AtLink atLink) {
    std::string target = path;
    if (std::string refusal = linkRefusal(path); !refusal.empty()) {
        if (atLink == AtLink::Refuse) return refusal;
        std::error_code error;
        target = std::filesystem::weakly_canonical(path, error).string();
        if (error) return error.message();
    }
    struct stat existing {};
    const bool exists = ::lstat(target.c_str(), &existing) == 0;
    const std::string temporary = temporaryPathBeside(target);
    const int descriptor =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor < 0) {
        const int error = errno;
        if (exists && (error == EACCES || error == EPERM || error == EROFS))
            return rewriteInPlace(target, bytes);
        return errorText(error);
    }
    if (exists) ::fchmod(descriptor, existing.st_mode & 07777);
    std::string reason = writeAndClose(descriptor, bytes);
    if (reason.empty() && ::rename(temporary.c_str(), target.c_str()) != 0) {
        reason = errorText(errno);
    }
    if (!reason.empty()) ::unlink(temporary.c_str());
    return reason;
}

}  // namespace safewrite
