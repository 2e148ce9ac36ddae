// SPDX-License-Identifier: MIT
// Atomic saves and reads on raw byte paths: RawSaveFile and RawFileReader.
#include "platform/savefile.h"
#include "platform/rawfile.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32 // no links in the fixture, no file size limit: the rows that need them are skipped
#define lstat stat
#define S_ISLNK(mode) false
#else
#include "forkedchild.h"
#include <sys/resource.h>
#include <sys/wait.h>
#endif

using namespace krcommon::platform;

namespace {

const QByteArray oldData(1000, 'o');
// GBK text that is not valid UTF-8: must reach the file system byte for byte.
const QByteArray gbkName("\xD7\xCA\xD4\xB4\xC8\xFD\xBA\xC5.lmp");
constexpr int fileSizeLimit = 5 << 19; // 2.5 MiB

enum class Finish { Commit, CommitOverNewDirectory, Cancel, Destroy };
enum Stage { Saved, OpenFailed, WriteFailed, CommitFailed, WrongError };

struct Save {
    QByteArray path;    // in the fixture directory; null for a null path
    QByteArray content; // written in pieces of `piece` bytes
    int piece;
    Finish finish;
    Stage stage;        // where the save stops
    int error;          // error() afterwards; -1 for any
    QByteArray created; // the name the save adds to the directory
    QByteArray after;   // what is read back at the path
};

// Names in @p dir and its sub/ as the file system spells them, links marked
// "->", @p except left out: a left-over temporary file, or a link replaced by
// a file, shows here.
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

// Runs the save and returns the stage it stopped at.
Stage runSave(const Save &s, const char *target, const QByteArray &path)
{
    auto file = std::make_unique<RawSaveFile>();
    Stage stage = file->open(target) ? Saved : OpenFailed;
    for (qsizetype i = 0; stage == Saved && i < s.content.size(); i += s.piece) {
        if (!file->write(s.content.constData() + i, std::size_t(std::min<qsizetype>(s.piece, s.content.size() - i))))
            stage = WriteFailed;
    }
    const int error = file->error();
    switch (s.finish) {
    case Finish::Cancel:
        file->cancel();
        break;
    case Finish::Destroy:
        file.reset();
        break;
    case Finish::CommitOverNewDirectory:
        QDir().mkdir(QString::fromLatin1(path)); // the rename must now fail
        [[fallthrough]];
    case Finish::Commit:
        // Also after a failed open or write: commit() must then fail and clean up.
        if (const bool committed = file->commit(); stage == Saved && !committed)
            stage = CommitFailed;
        else if (stage != Saved && committed)
            stage = WrongError;
        break;
    }
    const int finalError = file ? file->error() : error;
    return s.error >= 0 && finalError != s.error ? WrongError : stage;
}

// Runs the save in a forked child, where the umask, the file size limit and
// the ignored SIGXFSZ stay.
int saveInChild(const Save &s, const char *target, const QByteArray &path)
{
#ifdef _WIN32
    return runSave(s, target, path);
#else
    const pid_t pid = ::fork();
    if (pid != 0) {
        int status = -1;
        return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const rlimit limit{fileSizeLimit, fileSizeLimit};
    ::signal(SIGXFSZ, SIG_IGN);
    ::umask(002);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    exitChild(runSave(s, target, path));
#endif
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
        const Finish commit = Finish::Commit;
        QTest::newRow("new_file") << Save{"new.lmp", "IMG\r\na\n", 1, commit, Saved, 0, "new.lmp", "IMG\r\na\n"};
        QTest::newRow("replace_shorter") << Save{"old.lmp", "x", 100, commit, Saved, 0, "", "x"};
        QTest::newRow("big_small_pieces") << Save{"old.lmp", big, 7919, commit, Saved, 0, "", big};
        QTest::newRow("big_one_piece") << Save{"new.lmp", big, 1 << 30, commit, Saved, 0, "new.lmp", big};
        QTest::newRow("gbk_name") << Save{gbkName, "IMG\n", 2, commit, Saved, 0, gbkName, "IMG\n"};
        QTest::newRow("link_chain_kept") << Save{"view.lmp", "new", 1, commit, Saved, 0, "sub/real.lmp", "new"};
        QTest::newRow("long_link") << Save{"far.lmp", "new", 1, commit, Saved, 0, "sub/far.lmp", "new"};
        QTest::newRow("null_path") << Save{{}, "x", 1, commit, OpenFailed, EINVAL, "", "(open fails)"};
        QTest::newRow("missing_directory") << Save{"no/a.lmp", "x", 1, commit, OpenFailed, ENOENT, "", "(open fails)"};
        QTest::newRow("target_is_directory") << Save{"sub", "x", 1, commit, OpenFailed, EISDIR, "", "(read error)"};
        QTest::newRow("link_loop") << Save{"loop", "x", 1, commit, OpenFailed, ELOOP, "", "(open fails)"};
        QTest::newRow("trailing_slash") << Save{"sub/", "x", 1, commit, OpenFailed, EISDIR, "", "(read error)"};
        QTest::newRow("name_too_long") << Save{QByteArray(300, 'n'), "x",          1,  commit,
                                               OpenFailed,           ENAMETOOLONG, "", "(open fails)"};
        // Past the file size limit the kernel refuses the bytes: in a write,
        // or only when commit() flushes what is still buffered.
        QTest::newRow("size_limit_in_write")
            << Save{"old.lmp", big + big, 1 << 30, commit, WriteFailed, EFBIG, "", oldData};
        QTest::newRow("size_limit_in_flush")
            << Save{"old.lmp", big + big, 7919, commit, WriteFailed, EFBIG, "", oldData};
        QTest::newRow("size_limit_in_commit")
            << Save{"old.lmp", big + big.left(3 << 18), 7919, commit, CommitFailed, EFBIG, "", oldData};
        QTest::newRow("rename_fails") << Save{"dir.lmp",    "x",    1,         Finish::CommitOverNewDirectory,
                                              CommitFailed, EISDIR, "dir.lmp", "(read error)"};
        QTest::newRow("cancel") << Save{"old.lmp", "x", 1, Finish::Cancel, Saved, 0, "", oldData};
        // A file with a second hard link is written in place; the old content
        // stays until commit(), and a failed write still fails the save.
        QTest::newRow("hard_link_cancel") << Save{"linked.lmp", big, 7919, Finish::Cancel, Saved, 0, "", oldData};
        QTest::newRow("hard_link_size_limit")
            << Save{"linked.lmp", big + big, 1 << 30, commit, CommitFailed, EFBIG, "", (big + big).left(fileSizeLimit)};
        QTest::newRow("destructor") << Save{"old.lmp", "x", 1, Finish::Destroy, Saved, 0, "", oldData};
#ifdef _WIN32
        QTest::newRow("read_only_attribute") << Save{"readonly.lmp", "x", 1, commit, OpenFailed, EACCES, "", oldData};
#endif
    }

    // In a fresh directory: old.lmp and linked.lmp = sub/twin.lmp (mode 0646), sub/, a link chain
    // view.lmp -> <dir>/sub/link -> real.lmp (dangling), far.lmp -> ././.../sub/far.lmp (dangling, 300 bytes
    // and more) and a link loop.
    void save()
    {
        QFETCH(Save, s);
#ifdef _WIN32
        if (QByteArray(QTest::currentDataTag()).contains("link") || s.error == EFBIG)
            QSKIP("needs symbolic or hard links, or a file size limit");
#endif
        QTemporaryDir tmp;
        const QByteArray dir = tmp.path().toLatin1(), path = dir + '/' + s.path;
        const char *target = s.path.isNull() ? nullptr : path.constData();
        // QTemporaryDir decodes names through the locale and cannot remove this
        // one.
        const auto removeGbk = qScopeGuard([&] { ::unlink((dir + '/' + gbkName).constData()); });
        QVERIFY(QDir(tmp.path()).mkdir(QStringLiteral("sub")));
#ifdef _WIN32
        QFile old(tmp.filePath(QStringLiteral("old.lmp")));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(oldData) == oldData.size());
        old.close();
        const QString readOnly = tmp.filePath(QStringLiteral("readonly.lmp"));
        QVERIFY(old.copy(readOnly) && QFile::setPermissions(readOnly, QFile::ReadOwner)); // FILE_ATTRIBUTE_READONLY
#else
        for (const char *name : {"/old.lmp", "/linked.lmp"}) {
            const int fd = ::open((dir + name).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            QVERIFY(fd >= 0 && ::write(fd, oldData.constData(), size_t(oldData.size())) == oldData.size());
            QVERIFY(::fchmod(fd, 0646) == 0 && ::close(fd) == 0);
        }
        QVERIFY(::link((dir + "/linked.lmp").constData(), (dir + "/sub/twin.lmp").constData()) == 0);
        QVERIFY(::symlink((dir + "/sub/link").constData(), (dir + "/view.lmp").constData()) == 0);
        QVERIFY(::symlink("real.lmp", (dir + "/sub/link").constData()) == 0);
        QVERIFY(::symlink("loop", (dir + "/loop").constData()) == 0);
        QVERIFY(::symlink((QByteArray("./").repeated(150) + "sub/far.lmp").constData(),
                          (dir + "/far.lmp").constData()) == 0);
#endif
        const QByteArrayList before = tree(dir);

        QCOMPARE(saveInChild(s, target, path), int(s.stage));

        RawFileReader reader;
        QByteArray all(4 << 20, '\0');
        const std::ptrdiff_t n = reader.open(target) ? reader.read(all.data(), std::size_t(all.size())) : -2;
        QCOMPARE(n == -2 ? "(open fails)" : n < 0 ? "(read error)" : all.left(int(n)), s.after);
        QCOMPARE(tree(dir, s.created), before);
#ifndef _WIN32
        // A replaced file keeps its mode, a new one gets 0666 less the umask.
        struct stat st;
        if (::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode))
            QCOMPARE(int(st.st_mode & 07777), s.created.isEmpty() ? 0646 : 0664);
#endif
    }

    // Misuse fails without a crash; open() clears the last error, the first
    // later one is kept, and the save it spoilt leaves nothing behind.
    void misuse()
    {
        QTemporaryDir tmp;
        RawSaveFile file;
        QVERIFY(!file.write("x", 1));
        QCOMPARE(file.error(), EBADF);
        QVERIFY(file.open(QFile::encodeName(tmp.filePath(QStringLiteral("a.lmp"))).constData()));
        QCOMPARE(file.error(), 0);
        QVERIFY(file.write(nullptr, 0));
        QVERIFY(!file.write(nullptr, 1));
        QVERIFY(!file.write("x", 1));
        QVERIFY(!file.commit());
        QCOMPARE(file.error(), EINVAL);
        QVERIFY(QDir(tmp.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }
};

QTEST_GUILESS_MAIN(SaveFileTest)
#include "savefiletest.moc"
