// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_PLATFORM_PROCESS_H
#define KRCOMMON_PLATFORM_PROCESS_H

#include <functional>
#include <string>
#include <vector>

// The running processes, the way a Toolhelp snapshot lists them: each one's
// identifier and the file name of its executable, without directory.

namespace krcommon::platform {

using ProcessId = int;

/**
 * The processes running when it was taken, in ascending id. Names are read
 * on demand, so a caller that stops at a match reads no more than it needs.
 */
class ProcessSnapshot
{
public:
    /** Takes the snapshot; empty when the process table cannot be read. */
    ProcessSnapshot();

    const std::vector<ProcessId> &ids() const { return m_ids; }

    /**
     * The file name of process @p id's executable, without directory: the
     * target of its executable link, else the first word of its command line.
     * Empty for kernel threads, ended processes and unreadable entries.
     */
    static std::string executableName(ProcessId id);

private:
    std::vector<ProcessId> m_ids;
};

/**
 * Ends process @p id at once (SIGKILL), without waiting for it, provided
 * @p isTarget accepts its executable name read again through a handle that
 * pins the process: an id reused by another process since the snapshot is
 * left alone.
 * @return false when the name no longer fits or the signal could not be sent
 *         (the process has gone, no right)
 */
bool terminateProcess(ProcessId id, const std::function<bool(const std::string &)> &isTarget);

} // namespace krcommon::platform

#endif
