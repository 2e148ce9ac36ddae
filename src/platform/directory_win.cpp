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

void makeDirectories(const std::string &path, const std::vector<std::size_t> &ends)
{
    try {
        const auto isDirectory = [](const std::wstring &wide) {
            const DWORD attributes = ::GetFileAttributesW(wide.c_str());
            return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        };
        if (ends.empty() || isDirectory(win::longPath(path.substr(0, ends.back()).c_str())))
            return;
        // "\\server\share\" and "\\?\C:\" name no directory to make: the walk starts below them.
        const auto separates = [&path](std::size_t at) { return path[at] == '/' || path[at] == '\\'; };
        std::size_t root = 0;
        if (path.size() > 2 && separates(0) && separates(1))
            for (int found = 0; root < path.size() && found < 4; ++root)
                found += separates(root) ? 1 : 0;
        std::size_t base = 0; // where the name of the next directory begins
        for (const std::size_t end : ends) {
            const bool empty = end <= base || end < root; // the root, or an empty name as in "a//b"
            base = end + 1;
            if (empty)
                continue;
            // "C:" is a drive, made by nobody; a name ending in ':' is no directory either.
            if (path[end - 1] == ':')
                continue;
            const std::wstring wide = win::longPath(path.substr(0, end).c_str());
            if (wide.empty() || (!isDirectory(wide) && !::CreateDirectoryW(wide.c_str(), nullptr)))
                return;
        }
    } catch (...) {
        // Out of memory: nothing more is made, as for any failure.
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
    m_ended = false;
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

bool DirectorySearch::openParent(const DirectorySearch &child)
{
    close();
    // The child's own path less its last component: ".." of a directory
    // entered through a junction is where the junction is, and the walk
    // checks the id it finds.
    const std::wstring &dir = child.m_dir;
    if (child.m_fd < 0 || dir.size() < 2)
        return false;
    const std::size_t slash = dir.rfind(L'\\', dir.size() - 2);
    if (slash == std::wstring::npos || slash < 4 || dir.compare(0, slash + 1, L"\\\\?\\UNC\\") == 0)
        return false;
    return start(dir.substr(0, slash + 1), L"*");
}

bool DirectorySearch::next(DirectoryEntry &entry)
{
    if (!m_find)
        return false;
    WIN32_FIND_DATAW &data = record(m_buffer);
    if (m_ended || (!m_pending && !::FindNextFileW(m_find, &data))) {
        m_ended = true; // the end, or a read error: nothing more is delivered
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
