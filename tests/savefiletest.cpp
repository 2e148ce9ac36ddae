// SPDX-License-Identifier: MIT
// Atomic saves and reads on raw byte paths: RawSaveFile and RawFileReader.
#include "platform/savefile.h"
#include "platform/rawfile.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace krcommon::platform;

namespace {

const QByteArray oldData(1000, 'o');
// GBK text that is not valid UTF-8: must reach the file system byte for byte.
const QByteArray gbkName("\xD7\xCA\xD4\xB4\xC8\xFD\xBA\xC5.lmp");

// created: the name the save adds to the directory; after: what RawFileReader
// then reads at path; failsAt: the call that fails, 3 none; error -1: any.
struct Save {
    QByteArray path, content, created, after;
    int piece, failsAt, error;
};

// Names in @p dir and in its sub/ as the file system spells them (raw
// readdir), sorted, links marked "->", @p except left out: a left-over
// temporary file or a link replaced by a file shows here.
QByteArrayList tree(const QByteArray &dir, const QByteArray &except = QByteArray())
{
    QByteArrayList names;
    for (const QByteArray sub : {"", "sub/"}) {
        DIR *d = ::opendir((dir + '/' + sub).constData());
        struct stat st;
        for (const dirent *e; (e = ::readdir(d)) != nullptr;) {
            const QByteArray name = sub + e->d_name;
            if (e->d_name[0] != '.' && name != except && ::lstat((dir + '/' + name).constData(), &st) == 0)
                names << name + (S_ISLNK(st.st_mode) ? "->" : "");
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

Q_DECLARE_METATYPE(Save)

class SaveFileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void save_data()
    {
        QTest::addColumn<Save>("s");
        QByteArray big; // 2 MiB, every piece distinct
        for (int i = 0; big.size() < 2 << 20; ++i)
            big += QByteArray::number(i) + ' ';
        QTest::newRow("new_file") << Save{"new.lmp", "IMG\r\na\n", "new.lmp", "IMG\r\na\n", 1, 3, 0};
        QTest::newRow("replace_shorter") << Save{"old.lmp", "x", "", "x", 100, 3, 0};
        QTest::newRow("big_small_pieces") << Save{"old.lmp", big, "", big, 7919, 3, 0};
        QTest::newRow("big_one_piece") << Save{"new.lmp", big, "new.lmp", big, 1 << 30, 3, 0};
        QTest::newRow("gbk_name") << Save{gbkName, "IMG\n", gbkName, "IMG\n", 2, 3, 0};
        QTest::newRow("link_chain_kept") << Save{"view.lmp", "new", "sub/real.lmp", "new", 1, 3, 0};
        QTest::newRow("null_path") << Save{QByteArray(), "x", "", "(open fails)", 1, 0, EINVAL};
        QTest::newRow("missing_directory") << Save{"missing/new.lmp", "x", "", "(open fails)", 1, 0, ENOENT};
        QTest::newRow("target_is_directory") << Save{"sub", "x", "", "(read error)", 1, 0, EISDIR};
        QTest::newRow("link_loop") << Save{"loop", "x", "", "(open fails)", 1, 0, ELOOP};
        // The file size limit of 2.5 MiB makes the kernel refuse the bytes.
        QTest::newRow("size_limit_in_write") << Save{"old.lmp", big + big, "", oldData, 1 << 30, 1, EFBIG};
        QTest::newRow("size_limit_in_commit") << Save{"old.lmp", big + big.left(3 << 18), "", oldData, 7919, 2, EFBIG};
        QTest::newRow("target_became_directory") << Save{"dir.lmp", "x", "dir.lmp", "(read error)", 1, 2, EISDIR};
        QTest::newRow("cancel") << Save{"old.lmp", "x", "", oldData, 1, 2, -1};
        QTest::newRow("destructor") << Save{"old.lmp", "x", "", oldData, 1, 2, -1};
    }
    // In a fresh directory: old.lmp (mode 0646), sub/, a link chain
    // view.lmp -> <dir>/sub/link -> real.lmp (dangling) and a link loop.
    void save()
    {
        QFETCH(Save, s);
        QTemporaryDir tmp;
        const QByteArray dir = tmp.path().toLatin1(), path = dir + '/' + s.path, row = QTest::currentDataTag();
        const char *target = s.path.isNull() ? nullptr : path.constData();
        // QTemporaryDir decodes names through the locale and cannot remove this one.
        const auto removeGbk = qScopeGuard([&] { ::unlink((dir + '/' + gbkName).constData()); });
        const int fd = ::open((dir + "/old.lmp").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(fd >= 0 && ::write(fd, oldData.constData(), size_t(oldData.size())) == 1000 && ::fchmod(fd, 0646) == 0);
        QVERIFY(::close(fd) == 0 && ::mkdir((dir + "/sub").constData(), 0755) == 0);
        QVERIFY(::symlink((dir + "/sub/link").constData(), (dir + "/view.lmp").constData()) == 0);
        QVERIFY(::symlink("real.lmp", (dir + "/sub/link").constData()) == 0);
        QVERIFY(::symlink("loop", (dir + "/loop").constData()) == 0);
        const QByteArrayList before = tree(dir);
        const pid_t pid = ::fork();
        if (pid == 0) { // the umask and the file size limit stay in this child
            const rlimit limit{5 << 19, 5 << 19};
            ::signal(SIGXFSZ, SIG_IGN);
            ::umask(002);
            auto file = std::make_unique<RawSaveFile>();
            const bool opened = ::setrlimit(RLIMIT_FSIZE, &limit) == 0 && file->open(target);
            bool ok = opened;
            for (int i = 0; ok && i < s.content.size(); i += s.piece)
                ok = file->write(s.content.constData() + i, std::size_t(std::min(s.piece, s.content.size() - i)));
            ::mkdir(row == "target_became_directory" ? path.constData() : "", 0755); // where the rename would go
            row == "cancel" ? file->cancel() : row == "destructor" ? file.reset() : void();
            // Calls that succeed in a row: 0 open fails, 1 a write fails, 2 commit fails.
            ::_exit(opened + ok + (file && file->commit()) != s.failsAt || (s.error >= 0 && file->error() != s.error));
        }
        int status = -1;
        QVERIFY(::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0);
        RawFileReader reader;
        QByteArray all(4 << 20, '\0');
        const std::ptrdiff_t n = reader.open(target) ? reader.read(all.data(), std::size_t(all.size())) : -2;
        QCOMPARE(n == -2 ? "(open fails)" : n < 0 ? "(read error)" : all.left(int(n)), s.after);
        QCOMPARE(tree(dir, s.created), before);
        // A replaced file keeps its mode, a new one gets 0666 less the umask.
        struct stat st;
        if (::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode))
            QCOMPARE(int(st.st_mode & 07777), s.created.isEmpty() ? 0646 : 0664);
    }
};

QTEST_GUILESS_MAIN(SaveFileTest)
#include "savefiletest.moc"
