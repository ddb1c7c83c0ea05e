// Writing files so that nothing already saved is ever lost: a whole file
// replaced at once, or a line appended whole or not at all, each flushed to
// the disk before it counts.
#include "FileWrites.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

std::string WriteFileAtomically(const std::string& requestedPath, std::string_view text)
{
    // Write through a link to the file it names, and keep the file's mode.
    std::error_code ec;
    std::string path = requestedPath;
    if (std::filesystem::is_symlink(requestedPath, ec)) {
        const auto target = std::filesystem::weakly_canonical(requestedPath, ec);
        if (!ec) path = target.string();
    }
    mode_t mode = 0644;
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    if (exists) {
        mode = existing.st_mode & 07777;
        // The rename could replace a file its owner made read-only (root can
        // write anything, so the mode itself is asked too): it stays as it is.
        if (::access(path.c_str(), W_OK) != 0 || (mode & 0222) == 0) return "the file is read-only";
    }

    // A name of its own beside the target: two programs saving one file at
    // once, or a file that happens to be called like ours, are left alone.
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return "cannot write beside " + path + ": " + std::strerror(errno);
    ::fchmod(fd, mode);
    // Keep the owner and group too where we may (a file of another group
    // stays in it).
    if (exists) {
        [[maybe_unused]] const int kept = ::fchown(fd, existing.st_uid, existing.st_gid);
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            const std::string reason = std::strerror(errno);
            ::close(fd);
            ::unlink(temp.c_str());
            return "cannot write " + temp + ": " + reason;
        }
        written += static_cast<std::size_t>(n);
    }
    const bool synced = ::fsync(fd) == 0;
    const int syncError = errno;
    const bool closed = ::close(fd) == 0;
    if (!synced || !closed) {
        const std::string reason = std::strerror(synced ? errno : syncError);
        ::unlink(temp.c_str());
        return "cannot write " + temp + ": " + reason;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        ::unlink(temp.c_str());
        return "cannot replace " + path + ": " + reason;
    }
    return {};
}

std::string AppendWhole(const std::string& path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return std::strerror(errno);
    // A full disk can take part of the line: cut the file back to where it
    // was, so the next line never joins half of this one.
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (error != 0 && sized) {
        [[maybe_unused]] const int cut = ::ftruncate(fd, before.st_size);
    }
    ::close(fd);
    return error == 0 ? std::string() : std::strerror(error);
}

}  // namespace quorvel
