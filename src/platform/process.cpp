// SPDX-License-Identifier: MIT
#include "platform/process.h"
#include "platform/symlink.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
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

// The command line up to its first zero byte: argv[0] as the process was started.
std::string firstWord(const std::string &path)
{
    std::string word;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return word;
    char chunk[512];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        const char *const zero = static_cast<const char *>(std::memchr(chunk, 0, std::size_t(n)));
        word.append(chunk, zero ? std::size_t(zero - chunk) : std::size_t(n));
        if (zero)
            break;
    }
    ::close(fd);
    return word;
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
    // NOTE: the kernel marks the link of an executable that was replaced or
    // removed after the start (a package upgrade) with this suffix; the
    // process still runs under its file name.
    static const char deleted[] = " (deleted)";
    constexpr std::size_t deletedLength = sizeof deleted - 1;

    std::string target;
    if (readLink(procPath(id, "exe"), target)) {
        if (target.size() > deletedLength && target.compare(target.size() - deletedLength, deletedLength, deleted) == 0)
            target.resize(target.size() - deletedLength);
        return baseName(target);
    }
    // Without the right to read the link, the command line still names the
    // executable; kernel threads have an empty one and never match.
    return baseName(firstWord(procPath(id, "cmdline")));
}

bool terminateProcess(ProcessId id, const std::function<bool(const std::string &)> &isTarget)
{
    if (id <= 0)
        return false;
    const int pidfd = pidfdOpen(id);
    if (pidfd < 0) {
        // Kernels before 5.3 have no process handles: signal by id.
        return errno == ENOSYS && isTarget(ProcessSnapshot::executableName(id)) && ::kill(id, SIGKILL) == 0;
    }
    // The handle refers to whichever process holds the id now; if that is
    // still the one named, the signal reaches it and no other.
    const bool sent = isTarget(ProcessSnapshot::executableName(id)) && pidfdKill(pidfd);
    ::close(pidfd);
    return sent;
}

} // namespace krcommon::platform
