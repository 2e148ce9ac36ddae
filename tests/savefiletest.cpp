// SPDX-License-Identifier: MIT
// Atomic saves and reads on raw byte paths: RawSaveFile and RawFileReader.
#include "platform/savefile.h"
#include "platform/rawfile.h"
#include "testhelpers.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace krcommon::platform;

namespace {

const QByteArray oldData(1000, 'o');
// GBK text that is not valid UTF-8: must reach the file system byte for byte.
const QByteArray gbkName("\xD7\xCA\xD4\xB4\xC8\xFD\xBA\xC5.lmp");
// A directory whose full path is longer than the first guess for a link's text.
const QByteArray deepDir = "sub/" + QByteArray(250, 'd');
constexpr rlim_t fileSizeLimit = 5 << 19; // 2.5 MiB

enum class Finish { Commit, CommitOverNewDirectory, Cancel, Destroy, Reopen };
enum Stage { Saved, OpenFailed, WriteFailed, CommitFailed, WrongError };

struct Save {
    QByteArray path;    // in the fixture directory; null for a null path
    QByteArray content; // written in pieces of `piece` bytes
    int piece;
    Finish finish;
    Stage stage;                 // where the save stops
    int error;                   // error() afterwards; -1 for any
    QByteArray created;          // the name the save adds to the directory
    QByteArray after;            // what is read back at the path
    bool twoDescriptors = false; // room for the target's and its directory's, not the temporary file's
};

// Names in @p dir and its sub/ as the file system spells them, links marked
// "@", @p except left out: a left-over temporary file, or a link replaced by
// a file, shows here.
QByteArrayList tree(const QByteArray &dir, const QByteArray &except = QByteArray())
{
    QByteArrayList names = sh(dir, "ls -dF * sub/*").split('\n');
    for (const QByteArray &name : {QByteArray(), except, except + '/'})
        names.removeAll(name);
    return names;
}

// Counted without /proc, which a child may hide.
int openDescriptors()
{
    int count = 0;
    for (int fd = 0; fd < 1024; ++fd)
        count += ::fcntl(fd, F_GETFD) != -1;
    return count;
}

// Hides /proc from this process alone, as a sandbox may: an empty tmpfs over
// it in a private mount namespace. The save then names its temporary file
// from the start and finds where links lead without the kernel's help.
bool hideProc()
{
    return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("none", "/proc", "tmpfs", 0, nullptr) == 0;
}
constexpr int cannotHideProc = 98;

// Runs the save in a forked child, where the umask, the file size limit and
// the ignored SIGXFSZ stay, and returns the stage it stopped at; any
// descriptor left open is a wrong result.
int saveInChild(const Save &s, const char *target, const QByteArray &path, bool withoutProc)
{
    return inChild([&] {
        if (withoutProc && !hideProc())
            return cannotHideProc;
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        ::signal(SIGXFSZ, SIG_IGN);
        ::umask(002);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const int first = ::dup(0), second = ::dup(0);
        const rlimit files{rlim_t(second) + 1, rlim_t(second) + 1};
        if (::close(first) != 0 || ::close(second) != 0 ||
            (s.twoDescriptors && ::setrlimit(RLIMIT_NOFILE, &files) != 0))
            return int(WrongError);

        const int descriptors = openDescriptors();
        auto file = std::make_unique<RawSaveFile>();
        Stage stage = file->open(target) && (s.finish != Finish::Reopen || file->open(target)) ? Saved : OpenFailed;
        for (qsizetype i = 0; stage == Saved && i < s.content.size(); i += s.piece) {
            if (!file->write(s.content.constData() + i,
                             std::size_t(std::min<qsizetype>(s.piece, s.content.size() - i))))
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
            ::unlink(path.constData()); // the rename must now fail
            ::mkdir(path.constData(), 0755);
            [[fallthrough]];
        case Finish::Commit:
        case Finish::Reopen:
            // Also after a failed open or write: commit() must then fail and clean up.
            if (const bool committed = file->commit(); stage == Saved && !committed)
                stage = CommitFailed;
            else if (stage != Saved && committed)
                stage = WrongError;
            break;
        }
        const int finalError = file ? file->error() : error;
        file.reset();
        return int((s.error >= 0 && finalError != s.error) || openDescriptors() != descriptors ? WrongError : stage);
    });
}

// Saves "new\n" to @p path in a forked child as @p uid:@p gid; 1 saved, 0 refused.
int saveAs(uid_t uid, gid_t gid, const QByteArray &path)
{
    return inChild(
        [&] {
            RawSaveFile file;
            return int(file.open(path.constData()) && file.write("new\n", 4) && file.commit());
        },
        uid, gid);
}

enum Route { Refused, Atomic, InPlace };
constexpr uid_t games = 5;

// Root runs setup in a fresh directory, then a child saves as saver.
struct Shared {
    QByteArray setup;
    uid_t saver;
    Route route;
};

} // namespace

Q_DECLARE_METATYPE(Save)
Q_DECLARE_METATYPE(Shared)

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
        QTest::newRow("big_small_pieces") << Save{"old.lmp", big, 7919, commit, Saved, 0, "", big};
        QTest::newRow("big_one_piece") << Save{"new.lmp", big, 1 << 30, commit, Saved, 0, "new.lmp", big};
        QTest::newRow("gbk_name") << Save{gbkName, "IMG\n", 2, commit, Saved, 0, gbkName, "IMG\n"};
        QTest::newRow("link_chain_kept") << Save{"view.lmp", "new", 1, commit, Saved, 0, "sub/real.lmp", "new"};
        QTest::newRow("long_link") << Save{"far.lmp", "new", 1, commit, Saved, 0, deepDir + "/far.lmp", "new"};
        QTest::newRow("null_path") << Save{{}, "x", 1, commit, OpenFailed, EINVAL, "", "(open fails)"};
        QTest::newRow("missing_directory") << Save{"no/a.lmp", "x", 1, commit, OpenFailed, ENOENT, "", "(open fails)"};
        QTest::newRow("target_is_directory") << Save{"sub", "x", 1, commit, OpenFailed, EISDIR, "", "(read error)"};
        QTest::newRow("link_loop") << Save{"loop", "x", 1, commit, OpenFailed, ELOOP, "", "(open fails)"};
        // Past the file size limit the kernel refuses the bytes: in a write,
        // or only when commit() flushes what is still buffered.
        QTest::newRow("size_limit_in_write")
            << Save{"old.lmp", big + big, 1 << 30, commit, WriteFailed, EFBIG, "", oldData};
        QTest::newRow("size_limit_in_flush") // the flush that fails is the last write's
            << Save{"old.lmp", (big + big).left(397 * 7919), 7919, commit, WriteFailed, EFBIG, "", oldData};
        QTest::newRow("size_limit_in_commit")
            << Save{"old.lmp", big + big.left(3 << 18), 7919, commit, CommitFailed, EFBIG, "", oldData};
        QTest::newRow("rename_fails") << Save{"dir.lmp",    "x",    1,         Finish::CommitOverNewDirectory,
                                              CommitFailed, EISDIR, "dir.lmp", "(read error)"};
        // A file with a second hard link is written in place; the old content
        // stays until commit(), and a failed write still fails the save.
        QTest::newRow("hard_link_cancel") << Save{"linked.lmp", big, 7919, Finish::Cancel, Saved, 0, "", oldData};
        QTest::newRow("hard_link_size_limit")
            << Save{"linked.lmp", big + big, 1 << 30, commit, CommitFailed, EFBIG, "", (big + big).left(fileSizeLimit)};
        QTest::newRow("destructor") << Save{"old.lmp", "x", 1, Finish::Destroy, Saved, 0, "", oldData};
        // Only a refusal to carry the identity over sends a save in place, not a failure.
        QTest::newRow("no_descriptor_left") << Save{"old.lmp", "x", 1, commit, OpenFailed, EMFILE, "", oldData, true};
        QTest::newRow("empty_file_kept") << Save{"empty.lmp", big + big, 1 << 30, commit, WriteFailed, EFBIG, "", ""};
        QTest::newRow("second_open") << Save{"old.lmp", "x", 1, Finish::Reopen, Saved, 0, "", "x"};
        // Without /proc (rows no_proc_*) the temporary file has a name from open() on, which every end removes.
        QTest::newRow("no_proc_new_file") << Save{"new.lmp", "IMG\n", 1, commit, Saved, 0, "new.lmp", "IMG\n"};
        QTest::newRow("no_proc_link_chain_kept") << Save{"view.lmp", "new", 1, commit, Saved, 0, "sub/real.lmp", "new"};
        QTest::newRow("no_proc_size_limit_in_commit")
            << Save{"old.lmp", big + big.left(3 << 18), 7919, commit, CommitFailed, EFBIG, "", oldData};
        QTest::newRow("no_proc_cancel") << Save{"old.lmp", big, 7919, Finish::Cancel, Saved, 0, "", oldData};
    }

    // In a fresh directory: old.lmp, linked.lmp = sub/twin.lmp and empty.lmp (mode 0646), sub/, a link chain
    // view.lmp -> <dir>/sub/link -> real.lmp (dangling), far.lmp -> ././.../sub/ddd.../far.lmp (dangling, 300
    // bytes and more, as is the path it leads to) and a link loop.
    void save()
    {
        QFETCH(Save, s);
        QTemporaryDir tmp;
        const QByteArray dir = tmp.path().toLatin1(), path = dir + '/' + s.path;
        const char *target = s.path.isNull() ? nullptr : path.constData();
        // QTemporaryDir decodes names through the locale and cannot remove this
        // one.
        const auto removeGbk = qScopeGuard([&] { ::unlink((dir + '/' + gbkName).constData()); });
        QCOMPARE(
            sh(dir, "mkdir -p " + deepDir +
                        "; printf %01000d 0 | tr 0 o | tee old.lmp >linked.lmp; : >empty.lmp; chmod 646 "
                        "*.lmp; ln linked.lmp sub/twin.lmp; ln -s $PWD/sub/link view.lmp; ln -s real.lmp sub/link; "
                        "ln -s loop loop; ln -s " +
                        QByteArray("./").repeated(150) + deepDir + "/far.lmp far.lmp"),
            QByteArray());
        const QByteArrayList before = tree(dir);

        const int stage = saveInChild(s, target, path, QByteArray(QTest::currentDataTag()).startsWith("no_proc_"));
        if (stage == cannotHideProc)
            QSKIP("needs root, to hide /proc in a mount namespace");
        QCOMPARE(stage, int(s.stage));

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

    // Root sets up a directory and its sticky, world-writable s/; a child saves as root, nobody or games under
    // Debian's link protections. A refused save changes nothing, a saved one only the content.
    void sharedDirectory_data()
    {
        QTest::addColumn<Shared>("s");
        const QByteArray others = "echo old >s/view.lmp; chmod 666 s/view.lmp; chown nobody:nogroup s/view.lmp";
        const QByteArray linked = "echo old >s/o.lmp; chmod 666 s/o.lmp; ln s/o.lmp s/view.lmp; chown ";
        QTest::newRow("planted_link") << Shared{
            "echo old >r.lmp; ln -s $PWD/r.lmp s/view.lmp; chown -h nobody s/view.lmp", 0, Refused};
        QTest::newRow("others_file_root") << Shared{others, 0, Refused};
        QTest::newRow("others_file_games") << Shared{others, games, Refused};
        QTest::newRow("hard_link_nobody") << Shared{linked + "nobody s/o.lmp", 0, Refused};
        QTest::newRow("hard_link_games") << Shared{linked + "games s/o.lmp", 0, Refused};
        QTest::newRow("acl") << Shared{"echo old >view.lmp; setfacl -m u:nobody:rw-,g::r--,m::rw- view.lmp", 0, Atomic};
        QTest::newRow("user_xattr") << Shared{"echo old >view.lmp; setfattr -n user.k -v 1 view.lmp", 0, Atomic};
        QTest::newRow("group_only") << Shared{"echo old >view.lmp; chgrp games view.lmp", 0, Atomic};
        QTest::newRow("default_acl") << Shared{"setfacl -dm u:games:rwx .; echo old >view.lmp; setfacl -b view.lmp", 0,
                                               Atomic};
        QTest::newRow("security_xattr") << Shared{others + "; setfattr -n security.k -v 1 s/view.lmp", nobody, InPlace};
        // Owner, group and mode stay; where a new file could not keep them, or the directory refuses it, the save
        // writes in place; a file the saver may not write is refused.
        const QByteArray byNobody = "mkdir n; echo old >n/view.lmp; chown -R nobody n; chmod ";
        QTest::newRow("read_only_refused") << Shared{byNobody + "444 n/view.lmp", nobody, Refused};
        QTest::newRow("others_owner_kept") << Shared{byNobody + "604 n/view.lmp; chown root n", 0, Atomic};
        QTest::newRow("owner_not_keepable")
            << Shared{byNobody + "666 n/view.lmp; chown root n/view.lmp", nobody, InPlace};
        QTest::newRow("unwritable_directory") << Shared{byNobody + "555 n", nobody, InPlace};
    }
    void sharedDirectory()
    {
        QFETCH(Shared, s);
        const LinkProtections debianDefaults("1 1 1 2");
        if (!debianDefaults.isSet())
            QSKIP("needs root, and the kernel's link protections settable");
        QTemporaryDir tmp;
        // The file saved is the setup's view.lmp, in n/, s/ or the directory itself.
        const QByteArray path = s.setup.contains("n/view")   ? "n/view.lmp"
                                : s.setup.contains("s/view") ? "s/view.lmp"
                                                             : "view.lmp";
        const QByteArray dir = tmp.path().toLatin1(), target = dir + '/' + path;
        QCOMPARE(sh(dir, "chmod 755 .; mkdir -m 1777 s; " + s.setup), QByteArray());
        const char *dump = "find . | sort | while read -r f; do stat -c '%n %U %G %A %h' $f; [ -L $f ] || "
                           "{ getfacl -cp $f; getfattr -d -m - $f; [ -d $f ] || cat $f; }; done 2>&1";
        const QByteArray before = sh(dir, dump);
        struct stat old, now;
        QVERIFY(s.route == Refused || ::stat(target.constData(), &old) == 0);

        QCOMPARE(saveAs(s.saver, s.saver == games ? 60 : s.saver, target), int(s.route != Refused));
        if (s.route != Refused) {
            QVERIFY(::stat(target.constData(), &now) == 0);
            QCOMPARE(now.st_ino == old.st_ino, s.route == InPlace);
            const QByteArray restore = "cat " + path + "; echo old | dd status=none conv=nocreat of=" + path;
            QCOMPARE(sh(dir, restore), QByteArray("new\n"));
        }
        QCOMPARE(sh(dir, dump), before);
    }

    // A FIFO at the target is refused at once. A racing child swaps it with the target (renameat2
    // RENAME_EXCHANGE), which has a second link and is written in place, while another saves it over and over:
    // no save may block.
    void fifo()
    {
        QTemporaryDir tmp;
        const QByteArray dir = tmp.path().toLatin1(), view = dir + "/view.lmp", fifo = dir + "/f";
        QVERIFY(::mkfifo(fifo.constData(), 0666) == 0);
        QCOMPARE(saveAs(0, 0, fifo), 0);
        QCOMPARE(sh(dir, "echo old >view.lmp; ln view.lmp twin"), QByteArray());
        const pid_t racer = ::fork();
        while (racer == 0)
            ::renameat2(AT_FDCWD, view.constData(), AT_FDCWD, fifo.constData(), RENAME_EXCHANGE);
        const pid_t saver = ::fork();
        if (saver == 0) {
            ::alarm(60); // a save blocked in open() ends the child
            for (int saved = 0, refused = 0; saved < 100 || refused < 100;) {
                RawSaveFile file;
                ++(file.open(view.constData()) && file.write("new\n", 4) && file.commit() ? saved : refused);
            }
            exitChild(0);
        }
        int status = -1;
        QVERIFY(::waitpid(saver, &status, 0) == saver);
        QVERIFY(::kill(racer, SIGKILL) == 0 && ::waitpid(racer, nullptr, 0) == racer);
        QCOMPARE(status, 0);
        const QByteArray after = sh(dir, "find . -type p | wc -l; ls | wc -l; cat twin");
        QVERIFY2(after == "1\n3\nold\n" || after == "1\n3\nnew\n", after.constData());
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
