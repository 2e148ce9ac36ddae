// SPDX-License-Identifier: MIT
// The reader keeps a C runtime descriptor over the Win32 handle, so that the
// class has one shape on every system.
#include "platform/rawfile.h"
#include "platform/widepath_win.h"

#include <climits>
#include <io.h>
#include <windows.h>

namespace krcommon::platform {

namespace {

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

} // namespace

RawFileReader::~RawFileReader()
{
    close();
}

bool RawFileReader::open(const char *path)
{
    close();
    const std::wstring wide = win::longPath(path);
    if (wide.empty())
        return false;
    // Others may go on reading, writing and renaming the file meanwhile, as on
    // Linux; a directory opens too, and fails to read.
    const HANDLE file =
        ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    m_fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), 0);
    if (m_fd < 0)
        ::CloseHandle(file);
    return m_fd >= 0;
}

std::ptrdiff_t RawFileReader::read(char *buffer, std::size_t size)
{
    if (m_fd < 0)
        return -1;
    DWORD n = 0;
    if (!::ReadFile(handleOf(m_fd), buffer, DWORD(size < std::size_t(INT_MAX) ? size : std::size_t(INT_MAX)), &n,
                    nullptr))
        return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1; // a pipe's writer has closed it: the end
    return std::ptrdiff_t(n);
}

bool RawFileReader::status(Status &st) const
{
    BY_HANDLE_FILE_INFORMATION info;
    if (m_fd < 0)
        return false;
    if (::GetFileType(handleOf(m_fd)) != FILE_TYPE_DISK) {
        st = Status(); // a pipe or device: no size, read to its end
        return true;
    }
    if (!::GetFileInformationByHandle(handleOf(m_fd), &info))
        return false;
    st.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    st.regular = !st.directory;
    st.size = std::uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    st.device = info.dwVolumeSerialNumber;
    st.inode = std::uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return true;
}

void RawFileReader::adviseSequential()
{
    // The file was opened for a sequential scan already.
}

void RawFileReader::close()
{
    if (m_fd >= 0)
        ::_close(m_fd); // closes the handle too
    m_fd = -1;
}

} // namespace krcommon::platform
