// SPDX-License-Identifier: MIT
#include "platform/savefile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace krcommon::platform {

namespace {

// Content is gathered up to this size and written in one call.
constexpr std::size_t bufferSize = std::size_t(1) << 20;
// The kernel gives up on chains longer than 40 links as well (ELOOP).
constexpr int maxLinks = 40;
// Keeps "<name>.XXXXXX" below NAME_MAX when the target's name is long.
constexpr std::size_t maxNameInTemp = 200;
constexpr int maxTempAttempts = 100;

// Distinct across calls, threads and processes; a clash is only a retry.
std::uint64_t randomBits()
{
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x = counter.fetch_add(0x9E3779B97F4A7C15u, std::memory_order_relaxed);
    x ^= std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    x ^= std::uint64_t(::getpid()) << 40;
    // splitmix64 finaliser
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
    return x ^ (x >> 31);
}

std::string randomSuffix()
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uint64_t bits = randomBits();
    std::string suffix(6, 'x');
    for (char &c : suffix) {
        c = alphabet[bits % 62];
        bits /= 62;
    }
    return suffix;
}

// Text up to and including the last '/', empty when the path has none.
std::string directoryPrefix(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The contents of symbolic link @p path, or false with errno set.
bool readLink(const std::string &path, std::string &contents)
{
    std::size_t size = 256;
    for (;;) {
        contents.resize(size);
        const ssize_t n = ::readlink(path.c_str(), &contents[0], size);
        if (n < 0)
            return false;
        if (std::size_t(n) < size) {
            contents.resize(std::size_t(n));
            return true;
        }
        size *= 2;
    }
}

// Follows symbolic links at the end of @p path, so that a save replaces the
// file a link points to and the link itself stays. Relative link contents
// are taken from the link's own directory, as the kernel does. A dangling
// link resolves to the missing file, which the save then creates, as fopen
// would.
bool resolveLinks(std::string &path, int &error)
{
    for (int hops = 0;; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        std::string contents;
        if (hops == maxLinks || !readLink(path, contents)) {
            error = hops == maxLinks ? ELOOP : errno;
            return false;
        }
        path = contents.empty() || contents[0] == '/' ? contents : directoryPrefix(path) + contents;
    }
}

bool writeAll(int fd, const char *data, std::size_t size, int &error)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

} // namespace

RawSaveFile::~RawSaveFile()
{
    cancel();
}

bool RawSaveFile::open(const char *path)
{
    cancel();
    m_error = 0;
    if (!path || !*path) {
        fail(EINVAL);
        return false;
    }

    std::string target = path;
    int error = 0;
    if (!resolveLinks(target, error)) {
        fail(error);
        return false;
    }
    if (target.empty() || target.back() == '/') {
        fail(EISDIR);
        return false;
    }

    struct stat st;
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) {
        fail(errno);
        return false;
    }
    // NOTE: only a regular file is replaced; renaming over a device or pipe
    // would swap it for a plain file instead of writing to it.
    if (exists && !S_ISREG(st.st_mode)) {
        fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        return false;
    }

    const std::string prefix = directoryPrefix(target);
    const std::string name = target.substr(prefix.size(), maxNameInTemp) + '.';
    for (int attempt = 0; m_fd < 0; ++attempt) {
        if (attempt == maxTempAttempts) {
            fail(EEXIST);
            return false;
        }
        std::string temp = prefix + name + randomSuffix();
        // 0666 with O_CREAT gives a new file 0666 less the umask, as fopen does.
        m_fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            m_tempPath = std::move(temp);
        else if (errno != EEXIST && errno != EINTR) {
            fail(errno);
            return false;
        }
    }

    if (exists && ::fchmod(m_fd, st.st_mode & 07777) != 0) {
        fail(errno);
        cancel();
        return false;
    }
    m_targetPath = std::move(target);
    m_buffer.reserve(bufferSize);
    return true;
}

bool RawSaveFile::write(const char *data, std::size_t size)
{
    if (m_fd < 0) {
        fail(EBADF);
        return false;
    }
    if (m_error != 0)
        return false;
    if (size == 0)
        return true;
    if (!data) {
        fail(EINVAL);
        return false;
    }
    if (m_buffer.size() + size > bufferSize && !flushBuffer())
        return false;
    // Large pieces go straight to the file rather than through the buffer.
    if (size >= bufferSize) {
        int error = 0;
        if (!writeAll(m_fd, data, size, error)) {
            fail(error);
            return false;
        }
        return true;
    }
    m_buffer.insert(m_buffer.end(), data, data + size);
    return true;
}

bool RawSaveFile::commit()
{
    if (m_fd < 0) {
        fail(EBADF);
        return false;
    }

    bool ok = m_error == 0 && flushBuffer();
    if (ok) {
        int result;
        do {
            result = ::fsync(m_fd);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            fail(errno);
            ok = false;
        }
    }
    // NOTE: close can report a write error deferred by the file system (NFS);
    // on Linux the descriptor is gone even when it fails, so it is not retried.
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && ok) {
        fail(errno);
        ok = false;
    }
    if (ok && ::rename(m_tempPath.c_str(), m_targetPath.c_str()) != 0) {
        fail(errno);
        ok = false;
    }
    if (!ok) {
        cancel();
        return false;
    }

    // Makes the rename itself durable. Best effort: some file systems refuse
    // to sync a directory, and the content is already on disk.
    const std::string directory = directoryPrefix(m_targetPath);
    const int dirFd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }

    m_tempPath.clear();
    cancel();
    return true;
}

void RawSaveFile::cancel()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_tempPath.empty())
        ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
    m_targetPath.clear();
    std::vector<char>().swap(m_buffer);
}

bool RawSaveFile::flushBuffer()
{
    int error = 0;
    const bool ok = writeAll(m_fd, m_buffer.data(), m_buffer.size(), error);
    m_buffer.clear();
    if (!ok)
        fail(error);
    return ok;
}

void RawSaveFile::fail(int error)
{
    // The first failure is the one worth reporting; later ones follow from it.
    if (m_error == 0)
        m_error = error;
}

} // namespace krcommon::platform
