// SPDX-License-Identifier: MIT
// CKrCommon::compareFile against GNU cmp on real files, and
// killProcessFromName on copies of a small program that the test starts
// itself under a random name: nothing else can match, and only the test's own
// children are ever signalled.
#include <CKrCommon.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using Results = QList<bool>;

namespace {

constexpr int none = -1;
const QByteArray gbkName("\xC4\xE3\xCD\xBC"); // not valid UTF-8

void write(const QByteArray &path, const QByteArray &content, mode_t mode = 0644)
{
    const int fd = ::open(path.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
    QVERIFY(fd >= 0 && ::write(fd, content.constData(), size_t(content.size())) == content.size());
    ::close(fd);
}

} // namespace

class FileProcessTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_unique;
    QList<pid_t> m_children; // started and not yet reaped

    // Starts a copy of sleep named @p exe; posix_spawn returns once it runs that file.
    void start(const QByteArray &exe, bool removed)
    {
        QFile sleep(QStringLiteral("/usr/bin/sleep"));
        const QByteArray path = QFile::encodeName(m_dir.path()) + '/' + exe;
        if (::access(path.constData(), F_OK) != 0) { // a running copy cannot be rewritten
            QVERIFY(sleep.open(QIODevice::ReadOnly));
            write(path, sleep.readAll(), 0755);
        }
        const char *argv[] = {path.constData(), "20", nullptr};
        pid_t pid = -1;
        QCOMPARE(::posix_spawn(&pid, path.constData(), nullptr, nullptr, const_cast<char **>(argv), environ), 0);
        m_children << pid;
        if (removed)
            ::unlink(path.constData());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && QDir::setCurrent(m_dir.path()));
        m_unique = QByteArray::number(QRandomGenerator::system()->generate64(), 36);
    }
    void cleanupTestCase() { QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), m_dir.path()}); }
    void cleanup()
    {
        for (const pid_t pid : qAsConst(m_children)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
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
        QTest::newRow("middle_byte") << big << big / 2 << 0 << a << b << false;
        QTest::newRow("last_byte") << big << big - 1 << 0 << a << b << false;
        QTest::newRow("first_byte_of_second_block") << big << 32768 << 0 << a << b << false;
        QTest::newRow("longer") << big << none << 1 << a << b << false;
        QTest::newRow("empty") << 0 << none << 0 << a << b << true;
        // Text mode on Windows ended the files at the first 0x1A byte (at 50).
        QTest::newRow("after_ctrl_z") << 100 << 60 << 0 << a << b << false;
        QTest::newRow("same_file_twice") << 10 << none << 0 << a << a << true;
        QTest::newRow("missing") << 10 << none << 0 << a << QByteArray("none") << false;
        QTest::newRow("directory") << 10 << none << 0 << QByteArray("d") << QByteArray("d") << false;
        QTest::newRow("gbk_name") << 10 << none << 0 << a << gbkName << true; // opened with its own bytes
    }
    void compareFile()
    {
        QFETCH(int, size);
        QFETCH(int, changed);
        QFETCH(int, extra);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(bool, equal);
        for (const char *name : {"a", "b", gbkName.constData()})
            ::unlink(name);
        ::rmdir("d");
        QByteArray content(size, '\0');
        QRandomGenerator(uint(size + changed)).fillRange(reinterpret_cast<quint32 *>(content.data()), size / 4);
        if (size == 100)
            content[50] = '\x1A';
        write("a", content);
        if (changed != none)
            content[changed] = char(content[changed] ^ 0x5A);
        write("b", content + QByteArray(extra, 'x'));
        QVERIFY(::mkdir("d", 0755) == 0 && ::link("a", gbkName.constData()) == 0);

        QCOMPARE(CKrCommon::GetSingleTon().compareFile(first.constData(), second.constData()), equal);
        // cmp calls a directory equal to itself; a raw name cannot pass through QProcess.
        if (first != "d" && second != gbkName)
            QCOMPARE(QProcess::execute(QStringLiteral("cmp"), {QStringLiteral("-s"), QString::fromLatin1(first),
                                                               QString::fromLatin1(second)}) == 0,
                     equal);
        QVERIFY(!CKrCommon::GetSingleTon().compareFile(nullptr, first.constData()));
        QVERIFY(!CKrCommon::GetSingleTon().compareFile(first.constData(), nullptr));
    }

    void killProcessFromName_data()
    {
        QTest::addColumn<QByteArray>("exe");
        QTest::addColumn<bool>("removed"); // the executable file is removed once it runs
        QTest::addColumn<int>("copies");
        QTest::addColumn<QByteArray>("name"); // null for a null pointer
        QTest::addColumn<Results>("results"); // of successive calls
        const QByteArray exe = "Krk" + m_unique + ".Bin";
        QTest::newRow("same_name") << exe << false << 1 << exe << Results{true, false};
        QTest::newRow("other_case") << exe << false << 1 << exe.toUpper() << Results{true};
        QTest::newRow("without_extension") << exe << false << 1 << exe.chopped(4) << Results{false};
        QTest::newRow("full_path") << exe << false << 1 << QFile::encodeName(m_dir.path()) + '/' + exe
                                   << Results{false};
        QTest::newRow("two_copies") << exe << false << 2 << exe.toLower() << Results{true, true, false};
        QTest::newRow("null") << exe << false << 1 << QByteArray() << Results{false};
        QTest::newRow("empty_matches_no_kernel_thread") << exe << false << 1 << QByteArray("") << Results{false};
        QTest::newRow("executable_removed") << "Rm" + exe << true << 1 << "Rm" + exe << Results{true};
        // GBK 你 (C4 E3) against 浜 (E4 E3): equal only under Latin-1 case folding.
        QTest::newRow("latin1_case_differs")
            << gbkName + m_unique << false << 1 << "\xE4\xE3\xCD\xBC" + m_unique << Results{false};
        QTest::newRow("gbk_name") << gbkName + m_unique << false << 1 << gbkName + m_unique << Results{true};
    }
    void killProcessFromName()
    {
        QFETCH(QByteArray, exe);
        QFETCH(bool, removed);
        QFETCH(int, copies);
        QFETCH(QByteArray, name);
        QFETCH(Results, results);
        for (int i = 0; i < copies; ++i)
            start(exe, removed);
        for (const bool result : results) {
            QCOMPARE(CKrCommon::GetSingleTon().killProcessFromName(name.isNull() ? nullptr : name.constData()), result);
            if (!result)
                continue;
            // A child the call missed ends by itself after 20 s, not by SIGKILL.
            int status = 0;
            QVERIFY(m_children.removeOne(::wait(&status)));
            QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        }
        for (const pid_t pid : qAsConst(m_children))
            QCOMPARE(::waitpid(pid, nullptr, WNOHANG), 0); // still running
    }
};

QTEST_GUILESS_MAIN(FileProcessTest)
#include "fileprocesstest.moc"
