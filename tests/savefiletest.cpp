// SPDX-License-Identifier: MIT
// Atomic saves and reads on raw byte paths: RawSaveFile and RawFileReader.
#include "platform/savefile.h"
#include "platform/rawfile.h"

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
#include <vector>

using krcommon::platform::RawFileReader;
using krcommon::platform::RawSaveFile;

namespace {

const QByteArray oldContent(1000, 'o');

QByteArray readFile(const QByteArray &path)
{
    RawFileReader reader;
    QByteArray all;
    std::vector<char> buffer(1 << 16);
    std::ptrdiff_t n = reader.open(path.constData()) ? 1 : 0;
    while (n > 0 && (n = reader.read(buffer.data(), buffer.size())) > 0)
        all.append(buffer.data(), int(n));
    return all;
}

// Every name in @p dir and its subdirectories' names, sorted, as the file
// system spells them: a temporary file left behind shows up here.
QByteArrayList tree(const QByteArray &dir, const QByteArray &sub = QByteArray())
{
    QByteArrayList names;
    DIR *d = ::opendir((dir + '/' + sub).constData());
    while (const dirent *e = d ? ::readdir(d) : nullptr) {
        const QByteArray name = sub + e->d_name;
        struct stat st;
        if (name.endsWith('.') || ::lstat((dir + '/' + name).constData(), &st) != 0)
            continue;
        names << name;
        if (S_ISDIR(st.st_mode))
            names << tree(dir, name + '/');
    }
    if (d)
        ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

// Saves @p content in pieces; a second commit must refuse, the file being closed.
bool save(const QByteArray &path, const QByteArray &content, int piece = 1 << 30)
{
    RawSaveFile file;
    if (!file.open(path.constData()))
        return false;
    for (int at = 0; at < content.size(); at += piece)
        file.write(content.constData() + at, std::size_t(std::min(piece, content.size() - at)));
    return file.commit() && !file.commit();
}

// Runs @p body in a forked child, so umask and rlimits stay out of this process.
template<typename Body>
int inChild(Body body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status)
                                                                             : -1;
}

} // namespace

class SaveFileTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tmp;
    QByteArray m_dir;

    QByteArray at(QByteArray name) const { return name.replace('@', m_dir); }

private Q_SLOTS:
    // A fresh directory per test: old.lmp with old content, and sub/.
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        m_dir = m_tmp->path().toLatin1();
        const int fd = ::open(at("@/old.lmp").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        const qint64 size = oldContent.size();
        QVERIFY(fd >= 0 && ::write(fd, oldContent.constData(), size) == size && ::close(fd) == 0);
        QVERIFY(::mkdir(at("@/sub").constData(), 0755) == 0);
    }

    // QTemporaryDir decodes names through the locale and cannot remove a
    // GBK-named file, so everything goes by its bytes first.
    void cleanup()
    {
        const QByteArrayList names = tree(m_dir);
        for (auto it = names.rbegin(); it != names.rend(); ++it)
            ::remove(at("@/" + *it).constData());
    }

    void saveAndReadBack_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("piece");
        QByteArray big(3 << 20, '\0');
        for (int i = 0; i < big.size(); ++i)
            big[i] = char(i * 7 + i / 4093);
        QTest::newRow("new_file") << QByteArray("new.lmp") << QByteArray("IMG\r\na\n") << 1;
        QTest::newRow("replace_shorter") << QByteArray("old.lmp") << QByteArray("x") << 100;
        QTest::newRow("replace_with_empty") << QByteArray("old.lmp") << QByteArray() << 1;
        QTest::newRow("3MiB_small_pieces") << QByteArray("old.lmp") << big << 7919;
        QTest::newRow("3MiB_one_piece") << QByteArray("new.lmp") << big << big.size();
        // GBK text that is not valid UTF-8: must not be re-encoded on the way.
        QTest::newRow("gbk_name") << QByteArray("\xD7\xCA\xD4\xB4\xC8\xFD\xBA\xC5.lmp")
                                  << QByteArray("IMG\n") << 2;
    }
    void saveAndReadBack()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, content);
        QFETCH(int, piece);
        QVERIFY(save(at("@/") + name, content, piece));
        QCOMPARE(readFile(at("@/") + name), content);
        QCOMPARE(tree(m_dir).size(), name == "old.lmp" ? 2 : 3);
    }

    void permissions_data()
    {
        QTest::addColumn<int>("oldMode"); // -1: no previous file
        QTest::addColumn<int>("umask");
        QTest::addColumn<int>("expected");
        QTest::newRow("replaced_keeps_0640") << 0640 << 022 << 0640;
        QTest::newRow("replaced_keeps_0604") << 0604 << 077 << 0604;
        QTest::newRow("new_umask_022") << -1 << 022 << 0644;
        QTest::newRow("new_umask_077") << -1 << 077 << 0600;
        QTest::newRow("new_umask_0") << -1 << 0 << 0666;
    }
    void permissions()
    {
        QFETCH(int, oldMode);
        QFETCH(int, umask);
        QFETCH(int, expected);
        const QByteArray path = at("@/old.lmp");
        QVERIFY(oldMode < 0 ? ::unlink(path.constData()) == 0
                            : ::chmod(path.constData(), mode_t(oldMode)) == 0);
        QCOMPARE(inChild([&] { return ::umask(mode_t(umask)), save(path, "new") ? 0 : 1; }), 0);
        struct stat st;
        QVERIFY(::stat(path.constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 07777), expected);
    }

    void symlinkStaysLink_data()
    {
        QTest::addColumn<QByteArray>("linkText");
        QTest::addColumn<QByteArray>("real");
        QTest::newRow("relative") << QByteArray("old.lmp") << QByteArray("old.lmp");
        QTest::newRow("chain") << QByteArray("link2") << QByteArray("old.lmp");
        QTest::newRow("absolute_dangling")
            << QByteArray("@/sub/real.lmp") << QByteArray("sub/real.lmp");
    }
    void symlinkStaysLink()
    {
        QFETCH(QByteArray, linkText);
        QFETCH(QByteArray, real);
        QVERIFY(::symlink("old.lmp", at("@/link2").constData()) == 0);
        QVERIFY(::symlink(at(linkText).constData(), at("@/view.lmp").constData()) == 0);
        QVERIFY(save(at("@/view.lmp"), "new"));
        struct stat st;
        QVERIFY(::lstat(at("@/view.lmp").constData(), &st) == 0 && S_ISLNK(st.st_mode));
        QCOMPARE(readFile(at("@/") + real), QByteArray("new"));
        QByteArrayList expected{"link2", "old.lmp", "sub", "view.lmp"};
        if (real != "old.lmp")
            expected.insert(3, real);
        QCOMPARE(tree(m_dir), expected);
    }

    void openFails_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("error");
        QTest::newRow("null_path") << QByteArray() << EINVAL;
        QTest::newRow("empty_path") << QByteArray("") << EINVAL;
        QTest::newRow("missing_directory") << QByteArray("@/missing/new.lmp") << ENOENT;
        QTest::newRow("file_as_directory") << QByteArray("@/old.lmp/new.lmp") << ENOTDIR;
        QTest::newRow("target_is_directory") << QByteArray("@/sub") << EISDIR;
        QTest::newRow("trailing_slash") << QByteArray("@/new.lmp/") << EISDIR;
        QTest::newRow("link_loop") << QByteArray("@/loop") << ELOOP;
    }
    void openFails()
    {
        QFETCH(QByteArray, path);
        QFETCH(int, error);
        QVERIFY(::symlink("loop", at("@/loop").constData()) == 0);
        RawSaveFile file;
        QVERIFY(!file.open(path.isNull() ? nullptr : at(path).constData()));
        QVERIFY(!file.write("x", 1));
        QVERIFY(!file.commit());
        QCOMPARE(file.error(), error);
        QCOMPARE(tree(m_dir), (QByteArrayList{"loop", "old.lmp", "sub"}));
        QCOMPARE(readFile(at("@/old.lmp")), oldContent);
    }

    // Real failures: a file size limit makes the kernel refuse the bytes, or
    // a directory appears where the rename would go.
    void commitFails_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("writeOk");
        QTest::addColumn<int>("error");
        QTest::newRow("size_limit_in_write")
            << QByteArray("old.lmp") << (4 << 20) << false << EFBIG;
        QTest::newRow("size_limit_in_commit")
            << QByteArray("old.lmp") << (512 << 10) << true << EFBIG;
        QTest::newRow("target_became_directory") << QByteArray("new.lmp") << 10 << true << EISDIR;
    }
    void commitFails()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, size);
        QFETCH(bool, writeOk);
        QFETCH(int, error);
        const QByteArray path = at("@/") + name;
        const int result = inChild([&] {
            const rlimit limit{64 << 10, 64 << 10};
            ::signal(SIGXFSZ, SIG_IGN);
            RawSaveFile file;
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || !file.open(path.constData()))
                return 8;
            const QByteArray content(size, 'n');
            const bool wrote = file.write(content.constData(), std::size_t(size));
            if (name == "new.lmp")
                ::mkdir(path.constData(), 0755);
            return (wrote == writeOk ? 0 : 1) | (file.commit() ? 2 : 0) |
                   (file.error() == error ? 0 : 4);
        });
        QCOMPARE(result, 0);
        QCOMPARE(readFile(at("@/old.lmp")), oldContent);
        QCOMPARE(tree(m_dir), (name == "new.lmp" ? QByteArrayList{"new.lmp", "old.lmp", "sub"}
                                                 : QByteArrayList{"old.lmp", "sub"}));
    }

    void abandonedSave_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("cancel") << true;
        QTest::newRow("destructor") << false;
    }
    void abandonedSave()
    {
        QFETCH(bool, cancel);
        {
            RawSaveFile file;
            QVERIFY(file.open(at("@/old.lmp").constData()) && file.write("new", 3));
            QCOMPARE(tree(m_dir).size(), 3);
            if (cancel)
                file.cancel();
            QVERIFY(!cancel || !file.commit());
        }
        QCOMPARE(readFile(at("@/old.lmp")), oldContent);
        QCOMPARE(tree(m_dir), (QByteArrayList{"old.lmp", "sub"}));
    }

    void reader_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<int>("firstRead");
        QTest::newRow("file") << QByteArray("@/old.lmp") << true << 1000;
        QTest::newRow("directory") << QByteArray("@/sub") << true << -1;
        QTest::newRow("missing") << QByteArray("@/none.lmp") << false << -1;
        QTest::newRow("null_path") << QByteArray() << false << -1;
    }
    void reader()
    {
        QFETCH(QByteArray, path);
        QFETCH(bool, opens);
        QFETCH(int, firstRead);
        RawFileReader reader;
        QCOMPARE(reader.open(path.isNull() ? nullptr : at(path).constData()), opens);
        std::vector<char> buffer(2000);
        QCOMPARE(int(reader.read(buffer.data(), buffer.size())), firstRead);
    }
};

QTEST_GUILESS_MAIN(SaveFileTest)
#include "savefiletest.moc"
