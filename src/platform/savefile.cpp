// SPDX-License-Identifier: MIT
#include "platform/savefile.h"
#include "platform/symlink.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace krcommon::platform {

namespace {

// Content is gathered up to this size and written in one call.
constexpr std::size_t bufferSize = std::size_t(1) << 20;
// The kernel gives up on chains longer than 40 links as well (ELOOP).
constexpr int maxLinks = 40;
// The temporary file is "<start of the target's name>.XXXXXX"; this much of
// the name is kept at most, and never so much that it passes NAME_MAX.
constexpr std::size_t maxNameInTemp = 200;
constexpr std::size_t tempSuffixSize = 7;
constexpr int maxTempAttempts = 100;
// The directory is only a handle for the *at() calls: it needs no read
// permission.
#ifdef O_PATH
constexpr int directoryFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int directoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

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
        if (!contents.empty() && contents[0] != '/')
            contents.insert(0, directoryPrefix(path));
        path = std::move(contents);
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

// Ends with 0 for success, or the errno of the failure.
int syncAndClose(int fd)
{
    int result;
    do {
        result = ::fsync(fd);
    } while (result != 0 && errno == EINTR);
    int error = result != 0 ? errno : 0;
    // NOTE: close can report a write error deferred by the file system (NFS);
    // on Linux the descriptor is gone even when it fails, so it is not retried.
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

// Gives the temporary file @p fd the owner, group and permission bits of the
// target @p st, so that renaming it over the target changes only the content.
bool takeOverIdentity(int fd, const struct stat &st)
{
    struct stat temp;
    if (::fstat(fd, &temp) != 0)
        return false;
    if ((temp.st_uid != st.st_uid || temp.st_gid != st.st_gid) && ::fchown(fd, st.st_uid, st.st_gid) != 0)
        return false;
    // After fchown: a change of owner clears the set-user-ID and set-group-ID bits.
    return ::fchmod(fd, st.st_mode & 07777) == 0;
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

    // Everything below works relative to the directory, so that the
    // temporary file's longer name never makes a path pass PATH_MAX.
    const std::string directory = directoryPrefix(target);
    m_dirFd = ::open(directory.empty() ? "." : directory.c_str(), directoryFlags);
    if (m_dirFd < 0) {
        fail(errno);
        return false;
    }
    m_targetName = target.substr(directory.size());

    struct stat st;
    const bool exists = ::fstatat(m_dirFd, m_targetName.c_str(), &st, 0) == 0;
    if (!exists && errno != ENOENT) {
        fail(errno);
        cancel();
        return false;
    }
    // NOTE: only a regular file is replaced; renaming over a device or pipe
    // would swap it for a plain file instead of writing to it.
    if (exists && !S_ISREG(st.st_mode)) {
        fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        cancel();
        return false;
    }
    // NOTE: a file the caller may not write is not replaced either, although
    // the directory would allow it (QSaveFile's rule; lumoparafiletest:
    // read_only_file_refused).
    if (exists && ::faccessat(m_dirFd, m_targetName.c_str(), W_OK, AT_EACCESS) != 0) {
        fail(errno);
        cancel();
        return false;
    }

    // A rename replaces the directory entry, not the file: the file's other
    // hard links would keep the old content, and an owner the caller cannot
    // give the new file would be lost. Such a target, and one whose directory
    // takes no new name, is written in place instead, as editors do.
    if (!exists || st.st_nlink == 1) {
        error = createTemp();
        // NOTE: only a directory that refuses new names sends the save in
        // place; a full disk must fail the save, not truncate the target.
        if (error != 0 && (!exists || (error != EACCES && error != EPERM))) {
            fail(error);
            cancel();
            return false;
        }
        if (error == 0 && exists && !takeOverIdentity(m_fd, st))
            discardTemp();
    }
    if (m_fd < 0) {
        do {
            m_fd = ::openat(m_dirFd, m_targetName.c_str(), O_WRONLY | O_CLOEXEC);
        } while (m_fd < 0 && errno == EINTR);
        if (m_fd < 0) {
            fail(errno);
            cancel();
            return false;
        }
        m_inPlace = true;
    }
    m_buffer.reserve(bufferSize);
    return true;
}

int RawSaveFile::createTemp()
{
    long nameMax = ::fpathconf(m_dirFd, _PC_NAME_MAX);
    if (nameMax <= long(tempSuffixSize))
        nameMax = 255;
    const std::size_t keep = std::min(maxNameInTemp, std::size_t(nameMax) - tempSuffixSize);
    const std::string name = m_targetName.substr(0, keep) + '.';
    for (int attempt = 0; attempt < maxTempAttempts; ++attempt) {
        std::string temp = name + randomSuffix();
        // 0666 with O_CREAT gives a new file 0666 less the umask, as fopen does.
        m_fd = ::openat(m_dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_tempName = std::move(temp);
            return 0;
        }
        if (errno != EEXIST && errno != EINTR)
            return errno;
    }
    return EEXIST;
}

void RawSaveFile::discardTemp()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_tempName.empty())
        ::unlinkat(m_dirFd, m_tempName.c_str(), 0);
    m_tempName.clear();
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
    // In place the old content stays until commit(): all of it is gathered
    // first, so an abandoned save leaves the file as it was.
    if (!m_inPlace && m_buffer.size() + size > bufferSize && !flushBuffer())
        return false;
    // Large pieces go straight to the file rather than through the buffer.
    if (!m_inPlace && size >= bufferSize) {
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

    // In place: truncate, write, flush, close.
    bool ok = m_error == 0;
    if (ok && m_inPlace && ::ftruncate(m_fd, 0) != 0) {
        fail(errno);
        ok = false;
    }
    ok = ok && flushBuffer();
    const int fd = m_fd;
    m_fd = -1;
    if (const int error = syncAndClose(fd); error != 0 && ok) {
        fail(error);
        ok = false;
    }
    if (ok && !m_inPlace && ::renameat(m_dirFd, m_tempName.c_str(), m_dirFd, m_targetName.c_str()) != 0) {
        fail(errno);
        ok = false;
    }
    if (!ok) {
        cancel();
        return false;
    }

    if (!m_inPlace) {
        // Makes the rename itself durable. Best effort: some file systems
        // refuse to sync a directory, and the content is already on disk.
        const int dirFd = ::openat(m_dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
    }
    m_tempName.clear();
    cancel();
    return true;
}

void RawSaveFile::cancel()
{
    discardTemp();
    if (m_dirFd >= 0)
        ::close(m_dirFd);
    m_dirFd = -1;
    m_inPlace = false;
    m_targetName.clear();
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
