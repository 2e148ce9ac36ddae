// SPDX-License-Identifier: MIT
#include "platform/directory.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace krcommon::platform {

namespace {

// Large enough for a few hundred entries per call: one read for a typical
// directory, and one more that reports its end.
constexpr std::size_t bufferSize = std::size_t(32) << 10;

int openDirectoryAt(int parent, const char *name, int flags = O_RDONLY)
{
    int fd;
    do {
        fd = ::openat(parent, name, flags | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

void makeDirectories(const std::string &path, const std::vector<std::size_t> &ends)
{
    if (ends.empty())
        return;
    // Each name is handed to the kernel in place, ended by a zero over its
    // separator: no copy per directory, so the walk is linear in the length.
    std::string names = path;
    const auto openAt = [&](int dir, std::size_t from, std::size_t end) {
        names[end] = '\0';
        const int fd = openDirectoryAt(dir, names.c_str() + from, O_PATH);
        names[end] = path[end];
        return fd;
    };
    const auto makeAt = [&](int dir, std::size_t from, std::size_t end) {
        names[end] = '\0';
        const bool made = ::mkdirat(dir, names.c_str() + from, 0777) == 0;
        const int error = errno;
        names[end] = path[end];
        return made || error != ENAMETOOLONG;
    };
    const int whole = openAt(AT_FDCWD, 0, ends.back());
    if (whole >= 0) {
        ::close(whole);
        return;
    }

    // NOTE: an existing directory is entered by opening it, following links
    // as mkdir -p does: a link another user planted in a sticky directory is
    // refused under fs.protected_symlinks, and then nothing below it is made.
    // Only a missing name is made (DirectoryTest::createDirThroughPlantedLink).
    const bool absolute = path[0] == '/';
    int dir = absolute ? openDirectoryAt(AT_FDCWD, "/", O_PATH) : AT_FDCWD;
    std::size_t base = absolute ? 1 : 0; // where the name of the next directory begins
    for (const std::size_t end : ends) {
        const bool enter = path[end] == '/';
        if (end <= base) { // the root, or an empty name as in "a//b"
            base += end == base && enter ? 1 : 0;
            continue;
        }
        int sub = enter ? openAt(dir, base, end) : -1;
        if (sub < 0 && (!enter || errno == ENOENT)) {
            if (!makeAt(dir, base, end))
                break; // too long a name: every later one is longer still
            sub = enter ? openAt(dir, base, end) : -1;
        }
        if (!enter)
            continue;
        if (sub < 0)
            break;
        if (dir >= 0)
            ::close(dir);
        dir = sub;
        base = end + 1;
    }
    if (dir >= 0)
        ::close(dir);
}

DirectorySearch::~DirectorySearch()
{
    close();
}

void DirectorySearch::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_ended = false;
    m_used = m_next = 0;
}

bool DirectorySearch::adopt(int fd)
{
    struct stat st;
    if (fd < 0)
        return false;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_id = DirectoryId{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
    if (m_buffer.empty())
        m_buffer.resize(bufferSize);
    return true;
}

bool DirectorySearch::open(const std::string &dir)
{
    close();
    // The directory part keeps its separator, so "/" + "*" searches the root;
    // without one the search runs in the current directory.
    const std::size_t slash = dir.rfind('/');
    const std::string parent = slash == std::string::npos ? std::string(".") : dir.substr(0, slash + 1);
    m_prefix = slash == std::string::npos ? dir : dir.substr(slash + 1);
    return adopt(openDirectoryAt(AT_FDCWD, parent.c_str()));
}

bool DirectorySearch::openSubdirectory(const DirectorySearch &parent, const char *name)
{
    close();
    m_prefix.clear();
    return parent.m_fd >= 0 && adopt(openDirectoryAt(parent.m_fd, name));
}

bool DirectorySearch::openParent(const DirectorySearch &child)
{
    return openSubdirectory(child, "..");
}

bool DirectorySearch::next(DirectoryEntry &entry)
{
    // Records are read with getdents64 itself: a DIR stream would add an
    // allocation and three system calls per directory, a tenth of a walk.
    for (;;) {
        if (m_next >= m_used) {
            if (m_fd < 0 || m_ended)
                return false;
            const ssize_t n = ::getdents64(m_fd, m_buffer.data(), m_buffer.size());
            if (n <= 0) {
                m_ended = true; // the end, or a read error: nothing more is delivered
                m_used = m_next = 0;
                return false;
            }
            m_used = std::size_t(n);
            m_next = 0;
        }
        const char *const record = m_buffer.data() + m_next;
        unsigned short length;
        std::memcpy(&length, record + offsetof(struct dirent64, d_reclen), sizeof length);
        m_next += length;
        const char *const name = record + offsetof(struct dirent64, d_name);
        const unsigned char type = static_cast<unsigned char>(record[offsetof(struct dirent64, d_type)]);

        const std::size_t nameLength = std::strlen(name);
        if (nameLength < m_prefix.size() || std::memcmp(name, m_prefix.data(), m_prefix.size()) != 0)
            continue;
        entry.name = name;
        entry.length = nameLength;
        // The entry type the directory read gives spares a stat per file; only
        // links and file systems that give no type are asked, following links.
        if (type == DT_DIR) {
            entry.isDirectory = true;
        } else if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat st;
            entry.isDirectory = ::fstatat(m_fd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        } else {
            entry.isDirectory = false;
        }
        return true;
    }
}

} // namespace krcommon::platform
