// SPDX-License-Identifier: MIT
#include "platform/widepath_win.h"

#include <cerrno>
#include <climits>
#include <windows.h>

namespace krcommon::platform::win {

std::wstring widen(const char *text, std::size_t size)
{
    std::wstring wide;
    if (!text || size == 0 || size > std::size_t(INT_MAX))
        return wide;
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text, int(size), nullptr, 0);
    if (n <= 0)
        return wide;
    wide.resize(std::size_t(n));
    ::MultiByteToWideChar(CP_ACP, 0, text, int(size), &wide[0], n);
    return wide;
}

std::string narrow(const wchar_t *text, std::size_t size)
{
    std::string bytes;
    if (!text || size == 0 || size > std::size_t(INT_MAX))
        return bytes;
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text, int(size), nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return bytes;
    bytes.resize(std::size_t(n));
    ::WideCharToMultiByte(CP_ACP, 0, text, int(size), &bytes[0], n, nullptr, nullptr);
    return bytes;
}

std::wstring longPath(const std::wstring &path)
{
    std::wstring full;
    if (path.empty() || path.find(L'\0') != std::wstring::npos)
        return full;
    // Already verbatim: Windows would not resolve it either.
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return path;
    DWORD size = MAX_PATH;
    for (;;) {
        full.resize(size);
        const DWORD n = ::GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
        if (n == 0)
            return {};
        if (n < size) {
            full.resize(n);
            break;
        }
        size = n;
    }
    if (full.compare(0, 4, L"\\\\.\\") == 0)
        return full; // a device
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring longPath(const char *path)
{
    return path ? longPath(widen(path, std::char_traits<char>::length(path))) : std::wstring();
}

int errnoFromWin32(unsigned long code)
{
    switch (code) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
    case ERROR_BAD_PATHNAME:
        return EINVAL;
    case ERROR_DIRECTORY:
        return EISDIR;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

} // namespace krcommon::platform::win
