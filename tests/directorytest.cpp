// SPDX-License-Identifier: MIT
// CKrCommon::createDir and RecureDir on real directory trees, with names in
// the local code page (GBK and UTF-8), hidden directories and links.
#include <CKrCommon.h>

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// GBK text that is not valid UTF-8, and UTF-8 text: 资源 / 图像.tif
const QByteArray gbkDir("\xD7\xCA\xD4\xB4"), gbkFile("\xCD\xBC\xCF\xF1.tif");
const QByteArray utf8Dir("\xE8\xB5\x84\xE6\xBA\x90"), utf8File("\xE5\x9B\xBE\xE5\x83\x8F.tif");

// Makes @p entries below @p root: "d/" a directory, "l->target" a link,
// anything else a file; missing parents are made on the way.
void makeTree(const QByteArray &root, const QByteArrayList &entries)
{
    for (const QByteArray &entry : entries) {
        const int arrow = entry.indexOf("->");
        const QByteArray path = root + '/' + (arrow < 0 ? entry : entry.left(arrow));
        for (int at = root.size() + 1; (at = path.indexOf('/', at)) > 0; ++at)
            ::mkdir(path.left(at).constData(), 0755);
        if (arrow >= 0)
            QVERIFY(::symlink(entry.mid(arrow + 2).constData(), path.constData()) == 0);
        else if (!entry.endsWith('/'))
            QVERIFY(::close(::open(path.constData(), O_CREAT | O_WRONLY, 0644)) == 0);
    }
}

// The sorted output lines of a program run in @p dir.
QByteArrayList run(const QString &dir, const QString &program, const QStringList &args)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.start(program, args);
    process.waitForFinished(-1);
    QByteArrayList lines = process.readAllStandardOutput().split('\n');
    lines.removeAll(QByteArray());
    std::sort(lines.begin(), lines.end());
    return lines;
}

// What RecureDir gives, as the file system's bytes, sorted; each must open.
QByteArrayList listed(const QByteArray &arg)
{
    QByteArrayList paths;
    for (const QString &path : CKrCommon::GetSingleTon().RecureDir(QString::fromLocal8Bit(arg))) {
        paths << path.toLocal8Bit();
        if (::access(paths.back().constData(), F_OK) != 0)
            paths.back() += " (cannot be opened)";
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace

class DirectoryTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_root;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_root = QFile::encodeName(m_dir->path());
        ::chmod(m_root.constData(), 0755); // the unprivileged walk below must enter it
        QDir::setCurrent(m_dir->path());
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    }

    void createDir_data()
    {
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<QByteArrayList>("existing");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArrayList>("directories");
        const QByteArray utf8("UTF-8");
        const QByteArrayList work{"work/"};
        QTest::newRow("file_path") << utf8 << work << QByteArray("work/a/b/img.tif")
                                   << QByteArrayList{"work", "work/a", "work/a/b"};
        QTest::newRow("trailing_separator")
            << utf8 << work << QByteArray("work/a/b/") << QByteArrayList{"work", "work/a", "work/a/b"};
        QTest::newRow("last_component_not_made")
            << utf8 << work << QByteArray("work/a/b") << QByteArrayList{"work", "work/a"};
        QTest::newRow("no_separator") << utf8 << QByteArrayList{} << QByteArray("newdir") << QByteArrayList{};
        QTest::newRow("relative") << utf8 << QByteArrayList{} << QByteArray("p/q/r") << QByteArrayList{"p", "p/q"};
        QTest::newRow("backslash_separates")
            << utf8 << QByteArrayList{} << QByteArray("w\\a/img") << QByteArrayList{"w", "w\\a"};
        QTest::newRow("parent_exists") << utf8 << QByteArrayList{"work/a/"} << QByteArray("work/a/x")
                                       << QByteArrayList{"work", "work/a"};
        QTest::newRow("absolute") << utf8 << work << "/work/" + utf8Dir + "/x"
                                  << QByteArrayList{"work", "work/" + utf8Dir};
        // Beyond the old 260-byte buffer, each component a GBK name.
        QByteArray deep = "work", parents;
        QByteArrayList made{"work"};
        for (int i = 0; i < 40; ++i)
            made << (deep += '/' + gbkDir + QByteArray::number(i));
        QTest::newRow("gbk_long") << QByteArray("GBK") << work << deep + "/" + gbkFile << made;
    }
    void createDir()
    {
        QFETCH(QByteArray, codec);
        QFETCH(QByteArrayList, existing);
        QFETCH(QByteArray, path);
        QFETCH(QByteArrayList, directories);
        makeTree(m_root, existing);
        QTextCodec::setCodecForLocale(QTextCodec::codecForName(codec));
        // A leading "/" stands for the root of the fixture.
        CKrCommon::GetSingleTon().createDir(QString::fromLocal8Bit(path.startsWith('/') ? m_root + path : path));
        std::sort(directories.begin(), directories.end());
        QCOMPARE(run(m_dir->path(), QStringLiteral("find"),
                     {QStringLiteral("."), QStringLiteral("-mindepth"), QStringLiteral("1"), QStringLiteral("-type"),
                      QStringLiteral("d"), QStringLiteral("-printf"), QStringLiteral("%P\\n")}),
                 directories);
    }

    void recureDir_data()
    {
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<QByteArrayList>("tree");
        QTest::addColumn<QByteArray>("path"); // after the root
        QTest::addColumn<QByteArrayList>("files");
        const QByteArray utf8("UTF-8");
        QTest::newRow("hidden_directories_skipped")
            << utf8 << QByteArrayList{"x.tif", ".hidden.txt", "sub/y.tif", ".svn/z.txt", "a/.git/c", "a/b/"}
            << QByteArray("/") << QByteArrayList{".hidden.txt", "sub/y.tif", "x.tif"};
        QTest::newRow("gbk_names") << QByteArray("GBK") << QByteArrayList{gbkDir + '/' + gbkFile, gbkFile}
                                   << QByteArray("/") << QByteArrayList{gbkDir + '/' + gbkFile, gbkFile};
        QTest::newRow("utf8_names") << utf8 << QByteArrayList{utf8Dir + '/' + utf8File}
                                    << QByteArray("/" + utf8Dir + "/") << QByteArrayList{utf8Dir + '/' + utf8File};
        QTest::newRow("no_trailing_separator")
            << utf8 << QByteArrayList{"data/a.tif", "dat.txt", "other/b.tif", "x/data.tif"} << QByteArray("/da")
            << QByteArrayList{"dadat.txt (cannot be opened)", "dadata/a.tif (cannot be opened)"};
        QTest::newRow("symlink_loop") << utf8 << QByteArrayList{"a/f", "a/up->..", "a/self->.", "a/b/back->../.."}
                                      << QByteArray("/") << QByteArrayList{"a/f"};
        QTest::newRow("linked_directory_outside")
            << utf8 << QByteArrayList{"in/f", "out/g", "in/ext->../out", "in/link->f"} << QByteArray("/in/")
            << QByteArrayList{"in/ext/g", "in/f", "in/link"};
        QTest::newRow("empty_directory") << utf8 << QByteArrayList{"e/"} << QByteArray("/e/") << QByteArrayList{};
        QTest::newRow("missing_directory") << utf8 << QByteArrayList{} << QByteArray("/none/") << QByteArrayList{};
    }
    void recureDir()
    {
        QFETCH(QByteArray, codec);
        QFETCH(QByteArrayList, tree);
        QFETCH(QByteArray, path);
        QFETCH(QByteArrayList, files);
        makeTree(m_root, tree);
        QTextCodec::setCodecForLocale(QTextCodec::codecForName(codec));
        for (QByteArray &file : files)
            file.prepend(m_root + '/');
        std::sort(files.begin(), files.end());
        QCOMPARE(listed(m_root + path), files);
    }

    // Walked without the right to read one subdirectory (as nobody when root).
    void unreadableSubdirectory()
    {
        makeTree(m_root, {"ok/f", "locked/g", "z"});
        ::chmod((m_root + "/locked").constData(), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const bool dropped = ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0);
            _exit(dropped && listed(m_root + '/') == QByteArrayList{m_root + "/ok/f", m_root + "/z"} ? 0 : 1);
        }
        int status = -1;
        const bool waited = ::waitpid(pid, &status, 0) == pid;
        ::chmod((m_root + "/locked").constData(), 0755);
        QVERIFY(waited && WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    // A generated tree, with hidden files and directories, lists as find does.
    void sameAsFind()
    {
        QRandomGenerator random(8);
        const QByteArrayList parts{"img", ".h", "a b", "-x", "v1.2", utf8File, "\xE5\x9B\xBE"};
        QByteArrayList tree, dirs{""};
        for (int i = 0; i < 400; ++i) {
            const QByteArray path =
                dirs[random.bounded(dirs.size())] + parts[random.bounded(parts.size())] + QByteArray::number(i);
            const bool isDirectory = random.bounded(4) == 0;
            if (isDirectory)
                dirs << path + '/';
            tree << path + (isDirectory ? "/" : "");
        }
        makeTree(m_root, tree);
        QCOMPARE(listed(m_root + '/'),
                 run(m_dir->path(), QStringLiteral("find"),
                     {m_dir->path(), QStringLiteral("-type"), QStringLiteral("f"), QStringLiteral("-not"),
                      QStringLiteral("-path"), QStringLiteral("*/.*/*")}));
    }
};

QTEST_GUILESS_MAIN(DirectoryTest)
#include "directorytest.moc"
