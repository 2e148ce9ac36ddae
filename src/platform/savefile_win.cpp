// SPDX-License-Identifier: MIT
// Saving on Windows: the content goes to a temporary file beside the target,
// opened without sharing, and is flushed with FlushFileBuffers. ReplaceFileW
// then puts it in the target's place (see replaceTarget); a new file is moved
// in with MoveFileExW. Either way the target holds the old or the new content,
// never a mix. A target the caller may not write (read-only attribute, ACL,
// open without write sharing) is refused. When the directory takes no new file the target is written in
// place, as on Linux. The save keeps a C runtime descriptor over the handle,
// so that the class has one shape on every system.
#include "platform/savefile.h"
#include "platform/widepath_win.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <io.h>
#include <windows.h>

namespace krcommon::platform {

namespace {

// The temporary file is "<start of the target's name>.XXXXXX"; this much of
// the name is kept at most, well within a component's 255 units.
constexpr std::size_t maxNameInTemp = 200;
constexpr int maxTempAttempts = 100;
// The longest name of one file, in UTF-16 units.
constexpr std::size_t maxNameLength = 255;

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

int lastError()
{
    return win::errnoFromWin32(::GetLastError());
}

std::wstring randomSuffix()
{
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x = counter.fetch_add(0x9E3779B97F4A7C15u, std::memory_order_relaxed);
    x ^= std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    x ^= std::uint64_t(::GetCurrentProcessId()) << 40;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
    x ^= x >> 31;
    static const wchar_t alphabet[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::wstring suffix(6, L'x');
    for (wchar_t &c : suffix) {
        c = alphabet[x % 36]; // one case only: names are compared ignoring it
        x /= 36;
    }
    return suffix;
}

bool writeAll(HANDLE file, const char *data, std::size_t size, int &error)
{
    while (size > 0) {
        const DWORD chunk = DWORD(std::min(size, std::size_t(1) << 30));
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0) {
            error = written == 0 && ::GetLastError() == ERROR_SUCCESS ? EIO : lastError();
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// A descriptor over @p file; -1 (the handle closed) when none can be had.
int adopt(HANDLE file)
{
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), 0);
    if (fd < 0)
        ::CloseHandle(file);
    return fd;
}

// Puts @p temp in @p target's place. ReplaceFileW keeps what the target is
// (ACL, attributes, alternate data streams, creation time). Given a backup
// name, a failure leaves the target under its own name or the backup's;
// without one, a failed rename would leave no file under the target's name.
bool replaceTarget(const std::wstring &target, const std::wstring &temp)
{
    const auto moveIn = [&] {
        return ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    };
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) // a new file
        return ::GetLastError() == ERROR_FILE_NOT_FOUND && moveIn();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        ::SetLastError(ERROR_DIRECTORY); // made a directory since open()
        return false;
    }
    const std::wstring backup = temp + L'~';
    if (::ReplaceFileW(target.c_str(), temp.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                       nullptr)) {
        ::DeleteFileW(backup.c_str());
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) // the old file went to the backup name: put it back
        ::MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    else if (error == ERROR_FILE_NOT_FOUND && ::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES)
        return moveIn(); // removed since the first look
    ::SetLastError(error);
    return false;
}

} // namespace

RawSaveFile::~RawSaveFile()
{
    cancel();
}

bool RawSaveFile::open(const char *path)
{
    cancel();
    m_error = 0;
    if (!path || !*path) {
        fail(EINVAL);
        return false;
    }
    // The separator test runs on UTF-16: in a double-byte code page a
    // character's trail byte may be 0x5C, the code of "\".
    const std::wstring wide = win::widen(path, std::strlen(path));
    if (wide.empty() || wide.back() == L'\\' || wide.back() == L'/') {
        fail(wide.empty() ? EINVAL : EISDIR);
        return false;
    }
    m_wideTarget = win::longPath(wide);
    const std::size_t slash = m_wideTarget.rfind(L'\\');
    if (m_wideTarget.compare(0, 4, L"\\\\?\\") != 0 || slash == std::wstring::npos) {
        fail(EINVAL); // a device, not a file
        cancel();
        return false;
    }
    if (m_wideTarget.size() - slash - 1 > maxNameLength) {
        fail(ENAMETOOLONG);
        cancel();
        return false;
    }

    const DWORD attributes = ::GetFileAttributesW(m_wideTarget.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
        fail(lastError()); // a missing directory among them
        cancel();
        return false;
    }
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
        fail(attributes & FILE_ATTRIBUTE_DIRECTORY ? EISDIR : EACCES);
        cancel();
        return false;
    }
    if (exists) {
        // The caller must be able to write the target itself, and it must be a file.
        const HANDLE target =
            ::CreateFileW(m_wideTarget.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (target == INVALID_HANDLE_VALUE) {
            fail(lastError());
            cancel();
            return false;
        }
        const bool disk = ::GetFileType(target) == FILE_TYPE_DISK;
        ::CloseHandle(target);
        if (!disk) {
            fail(EINVAL);
            cancel();
            return false;
        }
    }

    const int error = createTemp();
    // Only a directory that refuses new files sends the save in place; a full
    // disk must fail the save, not truncate the target.
    if (error != 0 && (!exists || error != EACCES)) {
        fail(error);
        cancel();
        return false;
    }
    if (m_fd < 0) {
        m_fd = adopt(::CreateFileW(m_wideTarget.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (m_fd < 0) {
            fail(lastError());
            cancel();
            return false;
        }
        m_inPlace = true;
    }
    m_buffer.reserve(bufferSize);
    return true;
}

int RawSaveFile::createTemp()
{
    const std::size_t slash = m_wideTarget.rfind(L'\\');
    const std::wstring name =
        m_wideTarget.substr(0, slash + 1 + std::min(maxNameInTemp, m_wideTarget.size() - slash - 1)) + L'.';
    for (int attempt = 0; attempt < maxTempAttempts; ++attempt) {
        std::wstring temp = name + randomSuffix();
        // No sharing: nobody else opens the file until it takes the target's place.
        const HANDLE file =
            ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            m_fd = adopt(file);
            if (m_fd < 0) {
                ::DeleteFileW(temp.c_str());
                return EMFILE;
            }
            m_wideTemp = std::move(temp);
            return 0;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS)
            return lastError();
    }
    return EEXIST;
}

void RawSaveFile::discardTemp()
{
    if (m_fd >= 0)
        ::_close(m_fd);
    m_fd = -1;
    if (!m_wideTemp.empty())
        ::DeleteFileW(m_wideTemp.c_str());
    m_wideTemp.clear();
}

bool RawSaveFile::commit()
{
    if (m_fd < 0) {
        fail(EBADF);
        return false;
    }
    const HANDLE file = handleOf(m_fd);
    bool ok = m_error == 0;
    if (ok && m_inPlace &&
        (::SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER || !::SetEndOfFile(file))) {
        fail(lastError());
        ok = false;
    }
    ok = ok && flushBuffer();
    if (ok && !::FlushFileBuffers(file)) {
        fail(lastError());
        ok = false;
    }
    ::_close(m_fd);
    m_fd = -1;
    if (ok && !m_inPlace && !replaceTarget(m_wideTarget, m_wideTemp)) {
        fail(lastError());
        ok = false;
    }
    if (!ok) {
        cancel();
        return false;
    }
    m_wideTemp.clear();
    cancel();
    return true;
}

void RawSaveFile::cancel()
{
    discardTemp();
    m_inPlace = false;
    m_wideTarget.clear();
    std::vector<char>().swap(m_buffer);
}

bool RawSaveFile::writeOut(const char *data, std::size_t size)
{
    int error = 0;
    if (writeAll(handleOf(m_fd), data, size, error))
        return true;
    fail(error);
    return false;
}

} // namespace krcommon::platform
