// SPDX-License-Identifier: MIT
// Ending a running process named by the file name of its executable.
#include "CKrCommon.h"

#include "platform/process.h"

#include <string>

using krcommon::platform::ProcessSnapshot;

namespace {

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// NOTE: letter case is ignored for A-Z only; every other byte must be equal.
// Lowering bytes as Latin-1 letters would make distinct GBK or UTF-8 names
// equal (their lead and trail bytes are not letters), so non-ASCII names
// match only byte for byte. Pinned by FileProcessTest::killProcessFromName
// row "latin1_case_differs".
bool sameName(const std::string &executable, const std::string &target)
{
    if (executable.empty() || executable.size() != target.size())
        return false; // kernel threads have no executable name and never match
    for (std::size_t i = 0; i < target.size(); ++i) {
        if (asciiLower(executable[i]) != asciiLower(target[i]))
            return false;
    }
    return true;
}

} // namespace

bool CKrCommon::killProcessFromName(const char *name)
{
    if (!name)
        return false;
    const std::string target(name);
    const auto isTarget = [&target](const std::string &executable) { return sameName(executable, target); };

    // One snapshot; names are read one process at a time up to the first match.
    const ProcessSnapshot snapshot;
    for (const krcommon::platform::ProcessId id : snapshot.ids()) {
        if (!isTarget(ProcessSnapshot::executableName(id)))
            continue;
        // Only the first match ends, even when it is the calling process; true
        // only once it has ended, not for a process that may not be signalled.
        return krcommon::platform::terminateProcess(id, isTarget);
    }
    return false;
}
