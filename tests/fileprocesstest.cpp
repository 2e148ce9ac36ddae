// SPDX-License-Identifier: MIT
// CKrCommon::compareFile against GNU cmp on real files, and
// killProcessFromName on copies of a small program (sleep; on Windows the
// test's sleeper) that the test starts itself under a random name: nothing
// else can match, and only the test's own children are ever ended.
#include "testhelpers.h"
#include <CKrCommon.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#ifdef _WIN32
#include <memory>
#include <vector>
#else
#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;
#endif

using Results = QList<bool>;

namespace {

constexpr int none = -1;
const QByteArray gbkName("\xC4\xE3\xCD\xBC"); // not valid UTF-8
// How a process is started: its executable removed once it runs, its main
// thread ended while another runs on, or as a program the caller may not
// examine (as root, the caller is nobody) with a forged argv[0].
enum How { plain = 0, removed = 1, leaderExits = 2, forged = 4 };

#ifndef _WIN32
// A copy of this test run with this variable set ends its main thread at once.
[[maybe_unused]] const bool leaderExitsHere = [] {
    if (!qEnvironmentVariableIsSet("KRCOMMON_LEADER_EXITS"))
        return false;
    std::thread([] { ::sleep(20); }).detach();
    ::syscall(SYS_exit, 0); // this thread only, without unwinding the loader's frames
    return true;
}();
#endif

void write(const QByteArray &path, const QByteArray &content)
{
    std::FILE *file = std::fopen(path.constData(), "wb"); // the name's own bytes
    QVERIFY(file && std::fwrite(content.constData(), 1, size_t(content.size()), file) == size_t(content.size()));
    std::fclose(file);
}

} // namespace

class FileProcessTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_unique;
#ifdef _WIN32
    std::vector<std::unique_ptr<QProcess>> m_children; // started and not yet seen to end

    // Starts a copy of the sleeper named @p exe (the ANSI code page's bytes).
    void start(const QByteArray &exe, int)
    {
        const QString path = m_dir.filePath(QString::fromLocal8Bit(exe));
        QVERIFY(QFile::exists(path) || QFile::copy(QStringLiteral(KRCOMMON_SLEEPER), path));
        m_children.push_back(std::make_unique<QProcess>());
        m_children.back()->start(path, QStringList());
        QVERIFY(m_children.back()->waitForStarted());
    }
    static int kill(const QByteArray &name, bool)
    {
        return CKrCommon::GetSingleTon().killProcessFromName(name.isNull() ? nullptr : name.constData());
    }
    // Waits for the child a call ended: TerminateProcess gave it 0, the sleeper ends with 3.
    bool reapTerminated()
    {
        for (;;) {
            for (auto it = m_children.begin(); it != m_children.end(); ++it) {
                if ((*it)->state() == QProcess::NotRunning || (*it)->waitForFinished(10)) {
                    const bool terminated = (*it)->exitStatus() == QProcess::NormalExit && (*it)->exitCode() == 0;
                    m_children.erase(it);
                    return terminated;
                }
            }
        }
    }
#else
    QList<pid_t> m_children; // started and not yet reaped

    // Starts a copy of sleep (of this test for leaderExits) named @p exe;
    // posix_spawn returns once it runs that file.
    void start(const QByteArray &exe, int how)
    {
        QFile program(how & leaderExits ? QCoreApplication::applicationFilePath() : QStringLiteral("/usr/bin/sleep"));
        const QByteArray path = QFile::encodeName(m_dir.path()) + '/' + exe;
        if (::access(path.constData(), F_OK) != 0) { // a running copy cannot be rewritten
            QVERIFY(program.open(QIODevice::ReadOnly));
            write(path, program.readAll());
            ::chmod(path.constData(), how & forged ? 0111 : 0755); // unreadable: not to be examined
        }
        const QByteArray argv0 = how & forged ? "Forged" + m_unique : path;
        const char *argv[] = {argv0.constData(), "20", nullptr}, *env[] = {"KRCOMMON_LEADER_EXITS=1", nullptr};
        pid_t pid = -1;
        QCOMPARE(::posix_spawn(&pid, path.constData(), nullptr, nullptr, const_cast<char **>(argv),
                               how & leaderExits ? const_cast<char **>(env) : environ),
                 0);
        m_children << pid;
        if (how & removed)
            ::unlink(path.constData());
        while (how & leaderExits && ::access(("/proc/" + QByteArray::number(pid) + "/exe").constData(), F_OK) == 0)
            ::usleep(1000); // until the main thread has ended
    }

    // The call's result, in a child (as nobody for @p asNobody when root; 99 when it could not become nobody).
    static int kill(const QByteArray &name, bool asNobody)
    {
        const char *const text = name.isNull() ? nullptr : name.constData();
        const uid_t uid = asNobody ? nobody : 0;
        return inChild([text] { return int(CKrCommon::GetSingleTon().killProcessFromName(text)); }, uid, uid);
    }
#endif

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && QDir::setCurrent(m_dir.path()));
        m_unique = QByteArray::number(QRandomGenerator::system()->generate64(), 36);
    }
    void cleanupTestCase()
    {
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), m_dir.path()});
    }
    void cleanup()
    {
#ifdef _WIN32
        for (const auto &process : m_children) {
            process->kill();
            process->waitForFinished();
        }
#else
        for (const pid_t pid : qAsConst(m_children)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
#endif
        m_children.clear();
    }

    // Files a and b of random content; b differs from a where a row says.
    void compareFile_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("changed"); // the byte of b that differs, or none
        QTest::addColumn<int>("extra");   // bytes appended to b
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<bool>("equal");
        const QByteArray a("a"), b("b");
        constexpr int big = 300000; // several read blocks
        QTest::newRow("copy") << big << none << 0 << a << b << true;
        QTest::newRow("first_byte") << big << 0 << 0 << a << b << false;
        QTest::newRow("last_byte") << big << big - 1 << 0 << a << b << false;
        QTest::newRow("first_byte_of_second_block") << big << 131072 << 0 << a << b << false;
        QTest::newRow("longer") << big << none << 1 << a << b << false;
        // Text mode on Windows ended the files at the first 0x1A byte (at 50).
        QTest::newRow("after_ctrl_z") << 100 << 60 << 0 << a << b << false;
        QTest::newRow("missing") << 10 << none << 0 << a << QByteArray("none") << false;
        QTest::newRow("directory") << 10 << none << 0 << QByteArray("d") << QByteArray("d") << false;
        QTest::newRow("gbk_name") << 10 << none << 0 << a << gbkName << true; // opened with its own bytes
        // Kernel files report size 0 or 4096 whatever they hold; b is a copy of the first.
        QTest::newRow("procfs_size_zero") << 0 << none << 0 << QByteArray("/proc/version") << b << true;
        QTest::newRow("procfs_shorter") << 0 << none << 1 << QByteArray("/proc/version") << b << false;
        QTest::newRow("sysfs_size_4096") << 0 << none << 0 << QByteArray("/sys/devices/system/cpu/online") << b << true;
        QTest::newRow("endless_device_twice") << 0 << none << 0 << QByteArray("/dev/zero") << QByteArray("z") << true;
    }
    void compareFile()
    {
        QFETCH(int, size);
        QFETCH(int, changed);
        QFETCH(int, extra);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(bool, equal);
#ifdef _WIN32
        if (first.startsWith('/'))
            QSKIP("a Linux kernel file");
#endif
        for (const char *name : {"a", "b", gbkName.constData()})
            std::remove(name);
        QDir().rmdir(QStringLiteral("d"));
        QByteArray content(size, '\0');
        QRandomGenerator(uint(size + changed)).fillRange(reinterpret_cast<quint32 *>(content.data()), size / 4);
        if (size == 100)
            content[50] = '\x1A';
        write("a", content);
        if (changed != none)
            content[changed] = char(content[changed] ^ 0x5A);
        const bool copied = first.startsWith("/proc/") || first.startsWith("/sys/");
        write("b", (copied ? readBytes(first) : content) + QByteArray(extra, 'x'));
#ifdef _WIN32
        write(gbkName, content);
        QVERIFY(QDir().mkdir(QStringLiteral("d")));
        QCOMPARE(CKrCommon::GetSingleTon().compareFile(first.constData(), second.constData()), equal);
#else
        ::unlink("z");
        QVERIFY(::mkdir("d", 0755) == 0 && ::link("a", gbkName.constData()) == 0 && ::symlink("/dev/zero", "z") == 0);

        const int lowestFree = ::dup(0);
        ::close(lowestFree);
        QCOMPARE(CKrCommon::GetSingleTon().compareFile(first.constData(), second.constData()), equal);
        QCOMPARE(::dup(0), lowestFree); // no file left open
        ::close(lowestFree);
        // cmp calls a directory equal to itself and trusts the sizes kernel
        // files report; a raw name cannot pass through QProcess.
        if (first != "d" && second != gbkName && !copied)
            QCOMPARE(QProcess::execute(QStringLiteral("cmp"), {QStringLiteral("-s"), QString::fromLatin1(first),
                                                               QString::fromLatin1(second)}) == 0,
                     equal);
#endif
        QVERIFY(!CKrCommon::GetSingleTon().compareFile(nullptr, first.constData()));
        QVERIFY(!CKrCommon::GetSingleTon().compareFile(first.constData(), nullptr));
    }

    void killProcessFromName_data()
    {
        QTest::addColumn<QByteArray>("exe");
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("copies");
        QTest::addColumn<QByteArray>("name"); // null for a null pointer
        QTest::addColumn<Results>("results"); // of successive calls
        // With a and z, the ends of the letters whose case is ignored.
        const QByteArray exe = "Kaz" + m_unique + ".Bin";
#ifdef _WIN32
        const QByteArray own = m_unique + ".Bin"; // without an extension Windows would look for .exe
#else
        const QByteArray own = m_unique;
#endif
        QTest::newRow("same_name") << exe << +plain << 1 << exe << Results{true, false};
        QTest::newRow("other_case") << exe << +plain << 1 << exe.toUpper() << Results{true};
        QTest::newRow("without_extension") << exe << +plain << 1 << exe.chopped(4) << Results{false};
        QTest::newRow("two_copies") << exe << +plain << 2 << exe.toLower() << Results{true, true, false};
        QTest::newRow("null") << exe << +plain << 1 << QByteArray() << Results{false};
        QTest::newRow("empty_matches_no_kernel_thread") << exe << +plain << 1 << QByteArray("") << Results{false};
        QTest::newRow("executable_removed") << "Rm" + exe << +removed << 1 << "Rm" + exe << Results{true};
        QTest::newRow("named_deleted_not_removed") << exe + " (deleted)" << +plain << 1 << exe << Results{false};
        QTest::newRow("main_thread_exited") << "Mt" + exe << +leaderExits << 1 << "Mt" + exe << Results{true};
        QTest::newRow("forged_argv0") << "Fg" + exe << +forged << 1 << "Forged" + m_unique << Results{false};
        // GBK 你 (C4 E3) against 浜 (E4 E3): equal only under Latin-1 case folding.
        QTest::newRow("latin1_case_differs")
            << gbkName + own << +plain << 1 << "\xE4\xE3\xCD\xBC" + own << Results{false};
        QTest::newRow("gbk_name") << gbkName + own << +plain << 1 << gbkName + own << Results{true};
    }
    void killProcessFromName()
    {
        QFETCH(QByteArray, exe);
        QFETCH(int, how);
        QFETCH(int, copies);
        QFETCH(QByteArray, name);
        QFETCH(Results, results);
#ifdef _WIN32
        if (how != plain)
            QSKIP(how & removed       ? "a running program's file cannot be removed on Windows"
                  : how & leaderExits ? "ends the main thread with a Linux system call"
                                      : "forges argv[0], from which Windows never takes the name");
#endif
        for (int i = 0; i < copies; ++i)
            start(exe, how);
        for (const bool result : results) {
            QCOMPARE(kill(name, how & forged), int(result));
            if (!result)
                continue;
#ifdef _WIN32
            QVERIFY(reapTerminated());
        }
        for (const auto &process : m_children)
            QCOMPARE(process->state(), QProcess::Running);
#else
            // A child the call missed ends by itself after 20 s, not by SIGKILL.
            int status = 0;
            QVERIFY(m_children.removeOne(::wait(&status)));
            QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        }
        for (const pid_t pid : qAsConst(m_children))
            QCOMPARE(::waitpid(pid, nullptr, WNOHANG), 0); // still running
#endif
    }
};

QTEST_GUILESS_MAIN(FileProcessTest)
#include "fileprocesstest.moc"
