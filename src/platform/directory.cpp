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

int openDirectoryAt(int parent, const char *name)
{
    int fd;
    do {
        fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

bool pathExists(const char *path) noexcept
{
    return path && ::access(path, F_OK) == 0;
}

bool makeDirectory(const char *path) noexcept
{
    return path && ::mkdir(path, 0777) == 0;
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
