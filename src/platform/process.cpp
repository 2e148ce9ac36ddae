// SPDX-License-Identifier: MIT
#include "platform/process.h"
#include "platform/symlink.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace krcommon::platform {

namespace {

// "/proc/<id>/" followed by @p leaf.
std::string procPath(ProcessId id, const char *leaf)
{
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, id).ptr;
    std::string path("/proc/");
    path.append(digits, end).append(1, '/').append(leaf);
    return path;
}

std::string baseName(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file name of the executable that task directory @p dir ("/proc/<id>/",
// or "/proc/<id>/task/<tid>/" for one thread) shows; empty when it cannot be
// read: no right, a kernel thread, or a thread whose process memory is gone.
std::string executableIn(const std::string &dir)
{
    static const char deleted[] = " (deleted)";
    constexpr std::size_t deletedLength = sizeof deleted - 1;

    const std::string link = dir + "exe";
    std::string target;
    if (!readLink(link, target))
        return {};
    // NOTE: the kernel marks an executable removed or replaced since the
    // start (a package upgrade) with this suffix; the process runs under its
    // file name. A file may also be named so: it keeps the suffix while the
    // link's text, seen from the process's root, still names the running file.
    // Pinned by FileProcessTest::killProcessFromName row "named_deleted_not_removed".
    if (target.size() > deletedLength && target.compare(target.size() - deletedLength, deletedLength, deleted) == 0) {
        struct stat running, named;
        if (::stat(link.c_str(), &running) != 0)
            return {};
        if (::stat((dir + "root" + target).c_str(), &named) != 0 || named.st_dev != running.st_dev ||
            named.st_ino != running.st_ino)
            target.resize(target.size() - deletedLength);
    }
    return baseName(target);
}

// Process handles through the system calls themselves: glibc 2.36 declares
// its wrappers without C linkage for C++, and older ones have none.
int pidfdOpen(ProcessId id)
{
    return int(::syscall(SYS_pidfd_open, id, 0));
}

bool pidfdKill(int pidfd)
{
    return ::syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0) == 0;
}

} // namespace

ProcessSnapshot::ProcessSnapshot()
{
    const std::unique_ptr<DIR, int (*)(DIR *)> proc(::opendir("/proc"), &::closedir);
    if (!proc)
        return;
    for (const dirent *e; (e = ::readdir(proc.get())) != nullptr;) {
        ProcessId id = 0;
        const char *end = e->d_name + std::strlen(e->d_name);
        const auto [ptr, ec] = std::from_chars(e->d_name, end, id);
        if (ec == std::errc() && ptr == end && id > 0)
            m_ids.push_back(id);
    }
    std::sort(m_ids.begin(), m_ids.end());
}

std::string ProcessSnapshot::executableName(ProcessId id)
{
    // NOTE: only the kernel's record of the executable names a process. The
    // command line is text any process sets, so a process whose executable
    // cannot be read (another user's, to a caller without the right) matches
    // no name. Pinned by FileProcessTest::killProcessFromName row "forged_argv0".
    const std::string dir = procPath(id, "");
    std::string name = executableIn(dir);
    if (!name.empty() || errno != ENOENT)
        return name;
    // A process whose main thread has ended shows its executable through its
    // live threads only (row "main_thread_exited").
    const std::unique_ptr<DIR, int (*)(DIR *)> tasks(::opendir((dir + "task").c_str()), &::closedir);
    for (const dirent *e; name.empty() && tasks && (e = ::readdir(tasks.get())) != nullptr;) {
        if (e->d_name[0] != '.' && std::strtol(e->d_name, nullptr, 10) != id)
            name = executableIn(dir + "task/" + e->d_name + '/');
    }
    return name;
}

bool terminateProcess(ProcessId id, const std::function<bool(const std::string &)> &isTarget)
{
    if (id <= 0)
        return false;
    const int pidfd = pidfdOpen(id);
    if (pidfd < 0) {
        // Kernels before 5.3 have no process handles: signal by id, unawaited.
        return errno == ENOSYS && isTarget(ProcessSnapshot::executableName(id)) && ::kill(id, SIGKILL) == 0;
    }
    // The handle refers to whichever process holds the id now; if that is
    // still the one named, the signal reaches it and no other. The handle
    // turns readable once the process has ended.
    bool ended = isTarget(ProcessSnapshot::executableName(id)) && pidfdKill(pidfd);
    if (ended) {
        pollfd handle{pidfd, POLLIN, 0};
        int ready;
        do {
            ready = ::poll(&handle, 1, terminationWaitMs);
        } while (ready < 0 && errno == EINTR);
        ended = ready == 1;
    }
    ::close(pidfd);
    return ended;
}

} // namespace krcommon::platform
