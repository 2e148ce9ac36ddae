// SPDX-License-Identifier: MIT
#include "platform/rawfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace krcommon::platform {

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
    st.regular = S_ISREG(s.st_mode);
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
