// SPDX-License-Identifier: MIT
// CKrCommon::killProcessFromName on copies of a small program that the test
// starts itself, under a random name: nothing else can match, and only the
// test's own children are ever signalled.
#include <CKrCommon.h>

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using Results = QList<bool>;

class ProcessKillTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_unique;
    QList<pid_t> m_children; // started and not yet reaped

    // Starts a copy of sleep named @p exe; returns once it runs that file.
    void start(const QByteArray &exe)
    {
        QFile sleep(QStringLiteral("/usr/bin/sleep"));
        QVERIFY(sleep.open(QIODevice::ReadOnly));
        const QByteArray program = sleep.readAll(), path = QFile::encodeName(m_dir.path()) + '/' + exe;
        // Written once per name: a copy that runs cannot be rewritten.
        if (const int fd = ::open(path.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0755); fd >= 0) {
            QVERIFY(::write(fd, program.constData(), size_t(program.size())) == program.size());
            ::close(fd);
        }
        int ready[2];
        QVERIFY(::pipe2(ready, O_CLOEXEC) == 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl(path.constData(), path.constData(), "600", static_cast<char *>(nullptr));
            ::_exit(127);
        }
        m_children << pid;
        ::close(ready[1]);
        char byte;
        QCOMPARE(::read(ready[0], &byte, 1), ssize_t(0)); // closed by the exec
        ::close(ready[0]);
    }

    // Reaps the children ended by SIGKILL since the last call, waiting up to 5 s until there are @p expected.
    int reapKilled(int expected)
    {
        int killed = 0;
        for (int round = 0; round < 100 && killed < expected; ++round) {
            for (int i = m_children.size() - 1; i >= 0; --i) {
                int status = 0;
                if (::waitpid(m_children[i], &status, WNOHANG) == m_children[i]) {
                    m_children.removeAt(i);
                    killed += WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? 1 : 100;
                }
            }
            if (killed < expected)
                QThread::msleep(50);
        }
        return killed;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_unique = QByteArray::number(QRandomGenerator::system()->generate64(), 36);
    }
    void cleanupTestCase()
    {
        // QTemporaryDir cannot remove a name that is invalid in UTF-8.
        ::unlink((QFile::encodeName(m_dir.path()) + "/\xC4\xE3" + m_unique).constData());
    }
    void cleanup()
    {
        for (const pid_t pid : qAsConst(m_children)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        m_children.clear();
    }

    void killProcessFromName_data()
    {
        QTest::addColumn<QByteArray>("exe");
        QTest::addColumn<int>("copies");
        QTest::addColumn<QByteArray>("name"); // null for a null pointer
        QTest::addColumn<Results>("results"); // of successive calls
        const QByteArray exe = "Krk" + m_unique + ".Bin";
        QTest::newRow("same_name") << exe << 1 << exe << Results{true, false};
        QTest::newRow("other_case") << exe << 1 << exe.toUpper() << Results{true};
        QTest::newRow("without_extension") << exe << 1 << exe.chopped(4) << Results{false};
        QTest::newRow("full_path") << exe << 1 << QFile::encodeName(m_dir.path()) + '/' + exe << Results{false};
        QTest::newRow("two_copies") << exe << 2 << exe.toLower() << Results{true, true, false};
        QTest::newRow("null") << exe << 1 << QByteArray() << Results{false};
        QTest::newRow("empty_matches_no_kernel_thread") << exe << 1 << QByteArray("") << Results{false};
        // GBK 你 (C4 E3) against 浜 (E4 E3): equal only to Latin-1 case folding.
        QTest::newRow("latin1_case_differs") << "\xC4\xE3" + m_unique << 1 << "\xE4\xE3" + m_unique << Results{false};
        QTest::newRow("gbk_name") << "\xC4\xE3" + m_unique << 1 << "\xC4\xE3" + m_unique << Results{true};
    }
    void killProcessFromName()
    {
        QFETCH(QByteArray, exe);
        QFETCH(int, copies);
        QFETCH(QByteArray, name);
        QFETCH(Results, results);
        for (int i = 0; i < copies; ++i)
            start(exe);
        int killed = 0;
        for (const bool result : results) {
            QCOMPARE(CKrCommon::GetSingleTon().killProcessFromName(name.isNull() ? nullptr : name.constData()), result);
            killed += result ? 1 : 0;
            QCOMPARE(reapKilled(result ? 1 : 0), result ? 1 : 0);
        }
        QCOMPARE(m_children.size(), copies - killed);
    }
};

QTEST_GUILESS_MAIN(ProcessKillTest)
#include "processkilltest.moc"
