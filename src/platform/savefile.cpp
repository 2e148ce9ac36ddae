// SPDX-License-Identifier: MIT
#include "platform/savefile.h"
#include "platform/symlink.h"

#include <acl/libacl.h>
#include <attr/libattr.h>
#include <sys/acl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace krcommon::platform {

namespace {

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

// Calls @p call again while it is interrupted by a signal.
template<typename Call>
int retry(Call call)
{
    int result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

// Where the links of @p path lead, asked by name: for where /proc is not
// mounted (a sandbox). The caller checks that it names the file it opened.
bool resolveByName(const char *path, std::string &resolved)
{
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path, nullptr), &std::free);
    if (real)
        resolved = real.get();
    return bool(real);
}

bool sameFile(const struct stat &st, std::uint64_t device, std::uint64_t inode)
{
    return std::uint64_t(st.st_dev) == device && std::uint64_t(st.st_ino) == inode;
}

// What a caller or file system refuses to carry over to a new file (another
// owner, a security.* attribute without privilege, no ACL or attribute
// support), as opposed to a failing disk: the save then goes in place.
bool refusedToCarryOver(int error)
{
    return error == EPERM || error == EACCES || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

// Makes the access ACL of @p to that of @p from, exactly: the extended ACL,
// or none where @p to inherited one from the directory's default ACL.
int copyAcl(int from, int to, mode_t mode)
{
    const int extended = acl_extended_fd(from);
    if (extended < 0)
        return errno == EOPNOTSUPP ? 0 : errno; // no ACLs on this file system
    if (extended == 0) {
        const int inherited = acl_extended_fd(to);
        if (inherited <= 0)
            return inherited < 0 ? errno : 0;
    }
    acl_t acl = extended ? acl_get_fd(from) : acl_from_mode(mode);
    if (!acl)
        return errno;
    const int error = acl_set_fd(to, acl) == 0 ? 0 : errno;
    acl_free(acl);
    return error;
}

// The attributes a save carries over: all but the POSIX ACLs, which copyAcl
// sets, and those /etc/xattr.conf says to skip. Unlike libattr's default,
// other permission attributes (an NFSv4 ACL) are kept too.
int carriedOver(const char *name, error_context *context)
{
    static const char posixAcl[] = "system.posix_acl_";
    return attr_copy_action(name, context) != ATTR_ACTION_SKIP &&
           std::strncmp(name, posixAcl, sizeof posixAcl - 1) != 0;
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
    int error = path && *path ? openTarget(path) : EINVAL;
    // A rename replaces the directory entry, not the file: the file's other
    // hard links would keep the old content. Such a target, one whose
    // identity cannot be given to a new file, and one whose directory takes
    // no new name are written in place instead, as editors do.
    if (error == 0) {
        struct stat st;
        error = ::fstat(m_targetFd, &st) != 0 ? errno : st.st_nlink == 1 ? createTemp() : EPERM;
        if (error == 0)
            error = takeOverIdentity();
        // NOTE: only what the caller or file system refuses sends the save in
        // place; a full disk must fail the save, not truncate the target.
        if (error != 0 && refusedToCarryOver(error)) {
            discardTemp();
            std::swap(m_fd, m_targetFd);
            m_inPlace = true;
            error = 0;
        }
    }
    if (error != 0) {
        fail(error);
        cancel();
        return false;
    }
    m_buffer.reserve(bufferSize);
    return true;
}

int RawSaveFile::openTarget(const char *path)
{
    // NOTE: only a regular file is saved: a FIFO or device is neither
    // replaced nor written, nor opened when it is there from the start.
    struct stat seen;
    const bool existed = ::stat(path, &seen) == 0;
    if (!existed && errno != ENOENT)
        return errno;
    if (existed && !S_ISREG(seen.st_mode))
        return S_ISDIR(seen.st_mode) ? EISDIR : EINVAL;
    // The kernel resolves the links and applies its protections
    // (protected_symlinks, protected_regular) exactly as for fopen(path,
    // "w"), without truncating. O_NONBLOCK: a FIFO swapped in since the check
    // cannot block the open (savefiletest: fifo).
    m_targetFd = retry([path] { return ::open(path, O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666); });
    if (m_targetFd < 0)
        return errno;
    m_created = !existed;
    struct stat st;
    if (::fstat(m_targetFd, &st) != 0)
        return errno;
    m_device = std::uint64_t(st.st_dev);
    m_inode = std::uint64_t(st.st_ino);
    if (!S_ISREG(st.st_mode) || (existed && !sameFile(seen, m_device, m_inode)))
        return EAGAIN; // swapped since the check

    // The directory the file was reached in: the path's own, or where its
    // links lead, which the kernel tells by the descriptor (without /proc,
    // realpath by name). Either must name the same file, or the save is
    // refused.
    std::string file = path;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::string directory = directoryPrefix(file);
        m_targetName = file.substr(directory.size());
        m_dirFd = retry([&directory] { return ::open(directory.empty() ? "." : directory.c_str(), directoryFlags); });
        if (m_dirFd >= 0 && ::fstatat(m_dirFd, m_targetName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            sameFile(st, m_device, m_inode))
            return 0;
        if (m_dirFd >= 0)
            ::close(m_dirFd);
        m_dirFd = -1;
        if (attempt == 0 && !readLink("/proc/self/fd/" + std::to_string(m_targetFd), file) &&
            !resolveByName(path, file))
            return errno;
    }
    return EAGAIN;
}

int RawSaveFile::createTemp()
{
    // Private from its creation: unnamed until commit(), or else 0600, so that
    // nobody opens it before it has the target's owner and ACL.
#ifdef O_TMPFILE
    // commit() names it through /proc (linkat with AT_EMPTY_PATH needs a
    // privilege), which a sandbox may lack.
    if (::access("/proc/self/fd", F_OK) == 0) {
        m_fd = retry([this] { return ::openat(m_dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600); });
        if (m_fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR))
            return m_fd >= 0 ? 0 : errno;
    }
#endif
    return nameTemp();
}

int RawSaveFile::nameTemp()
{
    long nameMax = ::fpathconf(m_dirFd, _PC_NAME_MAX);
    if (nameMax <= long(tempSuffixSize))
        nameMax = 255;
    const std::size_t keep = std::min(maxNameInTemp, std::size_t(nameMax) - tempSuffixSize);
    const std::string name = m_targetName.substr(0, keep) + '.';
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    for (int attempt = 0; attempt < maxTempAttempts; ++attempt) {
        std::string temp = name + randomSuffix();
        int result;
        if (m_fd < 0) {
            result = m_fd = ::openat(m_dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        } else {
            result = ::linkat(AT_FDCWD, self.c_str(), m_dirFd, temp.c_str(), AT_SYMLINK_FOLLOW);
        }
        if (result >= 0) {
            m_tempName = std::move(temp);
            return 0;
        }
        if (errno != EEXIST && errno != EINTR)
            return errno;
    }
    return EEXIST;
}

// Gives the temporary file the owner, group, access ACL, extended attributes
// and permission bits of the target, so that renaming it over the target
// changes only the content.
int RawSaveFile::takeOverIdentity()
{
    struct stat target, temp;
    if (::fstat(m_targetFd, &target) != 0 || ::fstat(m_fd, &temp) != 0)
        return errno;
    if ((temp.st_uid != target.st_uid || temp.st_gid != target.st_gid) &&
        ::fchown(m_fd, target.st_uid, target.st_gid) != 0)
        return errno;
    if (const int error = copyAcl(m_targetFd, m_fd, target.st_mode); error != 0)
        return error;
    // All or none: a security.* attribute the caller may not set fails it
    // (savefiletest: sharedDirectory).
    errno = 0;
    if (attr_copy_fd(nullptr, m_targetFd, nullptr, m_fd, carriedOver, nullptr) != 0)
        return errno != 0 ? errno : EPERM;
    // After fchown, which clears the set-user-ID and set-group-ID bits, and
    // after the ACL, whose mask is the group bits.
    if (::fchmod(m_fd, target.st_mode & 07777) != 0 || ::fstat(m_fd, &temp) != 0)
        return errno;
    // The kernel drops a set-group-ID bit of a group the caller is not in.
    return temp.st_mode == target.st_mode ? 0 : EPERM;
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

bool RawSaveFile::commit()
{
    if (m_fd < 0) {
        fail(EBADF);
        return false;
    }

    // In place: truncate, write, flush, close.
    bool ok = m_error == 0;
    if (ok && m_inPlace && retry([this] { return ::ftruncate(m_fd, 0); }) != 0) {
        fail(errno);
        ok = false;
    }
    ok = ok && flushBuffer();
    if (ok && retry([this] { return ::fsync(m_fd); }) != 0) {
        fail(errno);
        ok = false;
    }
    // The unnamed temporary file gets its name only now, complete.
    if (ok && !m_inPlace && m_tempName.empty()) {
        if (const int error = nameTemp(); error != 0) {
            fail(error);
            ok = false;
        }
    }
    const int fd = m_fd;
    m_fd = -1;
    // NOTE: close can report a write error deferred by the file system (NFS);
    // on Linux the descriptor is gone even when it fails, so it is not retried.
    if (::close(fd) != 0 && ok) {
        fail(errno);
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
    m_created = false;
    cancel();
    return true;
}

void RawSaveFile::cancel()
{
    discardTemp();
    // A target that open() created, still empty, goes again: an abandoned
    // save leaves no new file.
    struct stat st;
    if (m_created && ::fstatat(m_dirFd, m_targetName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        sameFile(st, m_device, m_inode) && st.st_size == 0)
        ::unlinkat(m_dirFd, m_targetName.c_str(), 0);
    for (int *fd : {&m_targetFd, &m_dirFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    m_inPlace = false;
    m_created = false;
    m_targetName.clear();
    std::vector<char>().swap(m_buffer);
}

bool RawSaveFile::writeOut(const char *data, std::size_t size)
{
    int error = 0;
    if (writeAll(m_fd, data, size, error))
        return true;
    fail(error);
    return false;
}

} // namespace krcommon::platform
