// SPDX-License-Identifier: MIT
#include "platform/rawfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace krcommon::platform {

namespace {

ssize_t readAt(int fd, char *byte, off_t offset)
{
    ssize_t n;
    do {
        n = ::pread(fd, byte, 1, offset);
    } while (n < 0 && errno == EINTR);
    return n;
}

// NOTE: kernel files (procfs, sysfs, FUSE ones such as lxcfs) report a size
// of 0 or 4096 whatever they hold. A size is taken for the length only where
// reading agrees: nothing at that offset, and a byte just before it. Pinned
// by FileProcessTest::compareFile rows "procfs_size_zero", "sysfs_size_4096".
bool sizeIsLength(int fd, off_t size)
{
    char byte;
    return readAt(fd, &byte, size) == 0 && (size == 0 || readAt(fd, &byte, size - 1) == 1);
}

} // namespace

RawFileReader::~RawFileReader()
{
    close();
}

bool RawFileReader::open(const char *path)
{
    close();
    if (!path)
        return false;
    do {
        m_fd = ::open(path, O_RDONLY | O_CLOEXEC);
    } while (m_fd < 0 && errno == EINTR);
    return m_fd >= 0;
}

std::ptrdiff_t RawFileReader::read(char *buffer, std::size_t size)
{
    if (m_fd < 0)
        return -1;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, size);
        if (n >= 0)
            return n;
        if (errno != EINTR)
            return -1;
    }
}

bool RawFileReader::status(Status &st) const
{
    struct stat s;
    if (m_fd < 0 || ::fstat(m_fd, &s) != 0)
        return false;
    st.regular = S_ISREG(s.st_mode) && sizeIsLength(m_fd, s.st_size);
    st.directory = S_ISDIR(s.st_mode);
    st.size = std::uint64_t(s.st_size);
    st.device = std::uint64_t(s.st_dev);
    st.inode = std::uint64_t(s.st_ino);
    return true;
}

void RawFileReader::adviseSequential()
{
    if (m_fd >= 0)
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

void RawFileReader::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace krcommon::platform
