// SPDX-License-Identifier: MIT
#include "platform/directory.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace krcommon::platform {

namespace {

DIR *stream(void *p)
{
    return static_cast<DIR *>(p);
}

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
    if (m_stream)
        ::closedir(stream(m_stream));
    m_stream = nullptr;
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
    m_stream = ::fdopendir(fd);
    if (!m_stream) {
        ::close(fd);
        return false;
    }
    m_id = DirectoryId{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
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
    return parent.m_stream && adopt(openDirectoryAt(::dirfd(stream(parent.m_stream)), name));
}

bool DirectorySearch::next(DirectoryEntry &entry)
{
    if (!m_stream)
        return false;
    for (const dirent *e; (e = ::readdir(stream(m_stream))) != nullptr;) {
        const std::size_t length = std::strlen(e->d_name);
        if (length < m_prefix.size() || std::memcmp(e->d_name, m_prefix.data(), m_prefix.size()) != 0)
            continue;
        entry.name = e->d_name;
        entry.length = length;
        // The entry type the directory read gives spares a stat per file; only
        // links and file systems that give no type are asked, following links.
        if (e->d_type == DT_DIR) {
            entry.isDirectory = true;
        } else if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st;
            entry.isDirectory = ::fstatat(::dirfd(stream(m_stream)), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        } else {
            entry.isDirectory = false;
        }
        return true;
    }
    return false;
}

} // namespace krcommon::platform
