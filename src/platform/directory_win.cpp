// SPDX-License-Identifier: MIT
#include "platform/directory.h"
#include "platform/widepath_win.h"

#include <cstring>
#include <windows.h>

namespace krcommon::platform {

namespace {

WIN32_FIND_DATAW &record(std::vector<char> &buffer)
{
    return *reinterpret_cast<WIN32_FIND_DATAW *>(buffer.data());
}

} // namespace

bool pathExists(const char *path) noexcept
{
    try {
        const std::wstring wide = win::longPath(path);
        return !wide.empty() && ::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
    } catch (...) {
        return false;
    }
}

bool makeDirectory(const char *path) noexcept
{
    try {
        const std::wstring wide = win::longPath(path);
        return !wide.empty() && ::CreateDirectoryW(wide.c_str(), nullptr) != 0;
    } catch (...) {
        return false;
    }
}

DirectorySearch::~DirectorySearch()
{
    close();
}

void DirectorySearch::close()
{
    if (m_find)
        ::FindClose(m_find);
    m_find = nullptr;
    m_pending = false;
    m_fd = -1;
}

// Opens the search @p dir + @p pattern; @p dir ends in a separator.
bool DirectorySearch::start(std::wstring dir, const std::wstring &pattern)
{
    // The directory's identity: volume and file index, through a handle to
    // the directory itself (links resolved).
    const HANDLE handle = ::CreateFileW(dir.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
    ::CloseHandle(handle);
    if (!known || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    m_id = DirectoryId{info.dwVolumeSerialNumber, std::uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow};

    if (m_buffer.size() < sizeof(WIN32_FIND_DATAW))
        m_buffer.resize(sizeof(WIN32_FIND_DATAW));
    const HANDLE find = ::FindFirstFileW((dir + pattern).c_str(), &record(m_buffer));
    // An empty match is a search that delivers nothing, not a failure.
    if (find == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    m_dir = std::move(dir);
    m_find = find == INVALID_HANDLE_VALUE ? nullptr : find;
    m_pending = m_find != nullptr;
    m_fd = 0;
    return true;
}

bool DirectorySearch::open(const std::string &dir)
{
    close();
    // The directory part keeps its separator; the rest is the name prefix,
    // which FindFirstFileW matches itself (ignoring case, as the file system does).
    const std::size_t slash = dir.find_last_of("/\\");
    const std::string parent = slash == std::string::npos ? std::string(".\\") : dir.substr(0, slash + 1);
    std::wstring wideDir = win::longPath(parent.c_str());
    if (wideDir.empty())
        return false;
    if (wideDir.back() != L'\\')
        wideDir += L'\\';
    const std::string prefix = slash == std::string::npos ? dir : dir.substr(slash + 1);
    return start(std::move(wideDir), win::widen(prefix) + L'*');
}

bool DirectorySearch::openSubdirectory(const DirectorySearch &parent, const char *name)
{
    close();
    if (parent.m_fd < 0 || !name)
        return false;
    // The parent's last entry by its own UTF-16 name, so that a name the ANSI
    // code page cannot spell is still entered.
    const std::wstring wideName =
        parent.m_wideName.empty() || win::narrow(parent.m_wideName.data(), parent.m_wideName.size()) != name
            ? win::widen(name, std::strlen(name))
            : parent.m_wideName;
    return !wideName.empty() && start(parent.m_dir + wideName + L'\\', L"*");
}

bool DirectorySearch::next(DirectoryEntry &entry)
{
    if (!m_find)
        return false;
    WIN32_FIND_DATAW &data = record(m_buffer);
    if (!m_pending && !::FindNextFileW(m_find, &data)) {
        close(); // the end, or a read error: nothing more is delivered
        return false;
    }
    m_pending = false;
    m_wideName.assign(data.cFileName);
    m_name = win::narrow(m_wideName.data(), m_wideName.size());
    entry.name = m_name.c_str();
    entry.length = m_name.size();
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

} // namespace krcommon::platform
