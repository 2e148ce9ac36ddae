// SPDX-License-Identifier: MIT
// What the tests share: a local codec set for one test, files by their raw
// bytes, and children made with fork(), also as another user.
#ifndef KRCOMMON_TESTS_TESTHELPERS_H
#define KRCOMMON_TESTS_TESTHELPERS_H

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QTextCodec>

#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <unistd.h>
#ifndef _WIN32
#include <grp.h>
#include <sys/file.h>
#include <sys/wait.h>
#endif

// Sets Qt's local codec for one test, as a host may, and puts the previous one back.
class LocalCodec
{
public:
    explicit LocalCodec(const QByteArray &name)
        : m_previous(QTextCodec::codecForLocale())
    {
        QTextCodec::setCodecForLocale(QTextCodec::codecForName(name));
    }
    ~LocalCodec() { QTextCodec::setCodecForLocale(m_previous); }
    LocalCodec(const LocalCodec &) = delete;
    LocalCodec &operator=(const LocalCodec &) = delete;

private:
    QTextCodec *m_previous;
};

// The bytes of the file at @p path, "<unreadable>" when it cannot be read.
inline QByteArray readBytes(const QByteArray &path)
{
    QFile in(QFile::decodeName(path));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<unreadable>");
}

// Makes or replaces the file at @p path with @p bytes.
inline bool writeBytes(const QByteArray &path, const QByteArray &bytes)
{
    QFile out(QFile::decodeName(path));
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

// Runs @p script with sh in @p dir; its output, errors included.
inline QByteArray sh(const QByteArray &dir, const QByteArray &script)
{
    QProcess sh;
    sh.setWorkingDirectory(QFile::decodeName(dir));
    sh.setProcessChannelMode(QProcess::MergedChannels);
    sh.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromLatin1(script)});
    sh.waitForFinished(-1);
    return sh.readAll();
}

#ifndef _WIN32 // children by fork(), other users and link protections are Linux's
// A coverage build writes its counters in the exit handlers of each object
// (the test and the shared library), which _exit skips, and as the user who
// ran the suite; so its children keep root as the saved user ID and end with
// exit(), or what only a child runs would count as untested.

// Makes a root child @p uid:@p gid.
inline bool becomeUser(uid_t uid, gid_t gid)
{
#ifdef KRCOMMON_TEST_COVERAGE
    const uid_t saved = 0;
#else
    const uid_t saved = uid;
#endif
    return ::setgroups(0, nullptr) == 0 && ::setgid(gid) == 0 && ::setresuid(uid, uid, saved) == 0;
}

constexpr uid_t nobody = 65534; // nobody:nogroup

// Ends a child with @p status.
[[noreturn]] inline void exitChild(int status)
{
#ifdef KRCOMMON_TEST_COVERAGE
    if (::geteuid() != 0)
        (void)::seteuid(0);
    std::exit(status);
#else
    ::_exit(status);
#endif
}

// Runs @p work in a forked child, as @p uid:@p gid when the suite runs as root
// and @p uid is not root; its exit status (99: it could not become that user,
// -1: a signal ended it).
inline int inChild(const std::function<int()> &work, uid_t uid = 0, gid_t gid = 0)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        exitChild(uid != 0 && ::geteuid() == 0 && !becomeUser(uid, gid) ? 99 : work());
    int status = -1;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Sets the kernel's link protections fs.protected_symlinks, _hardlinks, _fifos
// and _regular to @p values (Debian's defaults are "1 1 1 2") while it lives,
// one test process at a time, and puts back what it found.
class LinkProtections
{
public:
    explicit LinkProtections(const QByteArray &values)
        : m_lock(::open("/tmp/krcommon-fs-protected.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        if (::geteuid() == 0 && ::flock(m_lock, LOCK_EX) == 0)
            m_found = set(values);
    }
    ~LinkProtections()
    {
        if (!m_found.isEmpty())
            set(m_found);
        ::close(m_lock);
    }
    LinkProtections(const LinkProtections &) = delete;
    LinkProtections &operator=(const LinkProtections &) = delete;

    bool isSet() const { return !m_found.isEmpty(); }

private:
    // What was found, or nothing when the values cannot be set.
    static QByteArray set(const QByteArray &values)
    {
        return sh("/proc/sys/fs", "v=$(cat protected_symlinks protected_hardlinks protected_fifos protected_regular) "
                                  "&& set -- " +
                                      values.trimmed() +
                                      " && for f in symlinks hardlinks fifos regular; do echo $1 >protected_$f || "
                                      "exit; shift; done; echo $v");
    }

    int m_lock;
    QByteArray m_found;
};
#endif

#endif
