// SPDX-License-Identifier: MIT
// The buffering of a save, the same on every platform; writeOut() is each
// platform's own.
#include "platform/savefile.h"

#include <cerrno>

namespace krcommon::platform {

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
    if (!m_inPlace && size >= bufferSize)
        return writeOut(data, size);
    m_buffer.insert(m_buffer.end(), data, data + size);
    return true;
}

bool RawSaveFile::flushBuffer()
{
    const bool ok = writeOut(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return ok;
}

void RawSaveFile::fail(int error)
{
    // The first failure is the one worth reporting; later ones follow from it.
    if (m_error == 0)
        m_error = error;
}

} // namespace krcommon::platform
