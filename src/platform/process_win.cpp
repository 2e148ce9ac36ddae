// SPDX-License-Identifier: MIT
#include "platform/process.h"
#include "platform/widepath_win.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <windows.h>

#include <tlhelp32.h> // after windows.h, which it needs

namespace krcommon::platform {

namespace {

// Calls @p visit(const PROCESSENTRY32W &) for each running process until it returns true.
template<typename Visit>
void eachProcess(Visit &&visit)
{
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !visit(entry);
         more = ::Process32NextW(snapshot, &entry)) {
    }
    ::CloseHandle(snapshot);
}

std::string baseName(const wchar_t *path)
{
    const wchar_t *const slash = std::wcsrchr(path, L'\\');
    const wchar_t *const name = slash ? slash + 1 : path;
    return win::narrow(name, std::wcslen(name));
}

// The executable's file name through an open process handle; empty when it cannot be read.
std::string imageName(HANDLE process)
{
    wchar_t path[32768];
    DWORD size = sizeof path / sizeof path[0];
    if (!::QueryFullProcessImageNameW(process, 0, path, &size))
        return {};
    path[size] = L'\0';
    return baseName(path);
}

} // namespace

ProcessSnapshot::ProcessSnapshot()
{
    eachProcess([this](const PROCESSENTRY32W &entry) {
        if (entry.th32ProcessID != 0 && entry.th32ProcessID <= DWORD(INT_MAX))
            m_ids.push_back(ProcessId(entry.th32ProcessID));
        return false;
    });
    std::sort(m_ids.begin(), m_ids.end());
}

std::string ProcessSnapshot::executableName(ProcessId id)
{
    if (id <= 0)
        return {};
    // Through a handle when the process lets itself be queried: one call
    // rather than a walk of the whole process table.
    if (const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(id))) {
        std::string name = imageName(process);
        ::CloseHandle(process);
        if (!name.empty())
            return name;
    }
    // Otherwise the snapshot's own name (szExeFile) for the process that holds the id now.
    std::string name;
    eachProcess([id, &name](const PROCESSENTRY32W &entry) {
        if (entry.th32ProcessID != DWORD(id))
            return false;
        name = baseName(entry.szExeFile);
        return true;
    });
    return name;
}

bool terminateProcess(ProcessId id, const std::function<bool(const std::string &)> &isTarget)
{
    if (id <= 0)
        return false;
    const HANDLE process =
        ::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, DWORD(id));
    if (!process)
        return false;
    // The handle pins the process: its id is not reused while it is open, so
    // the name read now belongs to the process that would be ended.
    std::string name = imageName(process);
    if (name.empty())
        name = ProcessSnapshot::executableName(id);
    // TerminateProcess only starts the end: the process is gone once its handle is signalled.
    const bool ended = isTarget(name) && ::TerminateProcess(process, 0) != 0 &&
                       ::WaitForSingleObject(process, DWORD(terminationWaitMs)) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

} // namespace krcommon::platform
