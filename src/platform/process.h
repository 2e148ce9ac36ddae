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
     * The file name of process @p id's executable, without directory, as the
     * system records it (through any live thread when the main thread has
     * ended); never taken from the command line, which any process sets.
     * Empty when it cannot be established: kernel threads, ended processes,
     * processes the caller has no right to examine.
     */
    static std::string executableName(ProcessId id);

private:
    std::vector<ProcessId> m_ids;
};

/** How long terminateProcess waits for the process to end. */
constexpr int terminationWaitMs = 10000;

/**
 * Ends process @p id at once (SIGKILL) and waits for it to end, up to
 * terminationWaitMs, provided @p isTarget accepts its executable name read
 * again through a handle that pins the process: an id reused by another
 * process since the snapshot is left alone.
 * @return true once the process has ended; false when the name no longer
 *         fits, the signal could not be sent (the process has gone, no
 *         right) or the process is still there after the wait
 */
bool terminateProcess(ProcessId id, const std::function<bool(const std::string &)> &isTarget);

} // namespace krcommon::platform

#endif
