// SPDX-License-Identifier: MIT
#include "platform/rawfile.h"

#include <cerrno>
#include <fcntl.h>
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

void RawFileReader::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace krcommon::platform
