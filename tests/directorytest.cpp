// SPDX-License-Identifier: MIT
// CKrCommon::createDir and RecureDir on real directory trees, with names in
// the local code page (GBK and UTF-8), hidden directories and links.
#include "testhelpers.h"
#include <CKrCommon.h>

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace {

// Text in the local code page as the library reads it: the local codec, which
// QString::fromLocal8Bit uses under Qt 5 only (under Qt 6 that is UTF-8).
QString localText(const QByteArray &bytes)
{
    return QTextCodec::codecForLocale()->toUnicode(bytes);
}

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
#ifdef _WIN32
        // Through Qt, which reaches paths beyond MAX_PATH; a link is a plain file here.
        QDir().mkpath(QFile::decodeName(path.left(path.lastIndexOf('/'))));
        QFile file(QFile::decodeName(path));
        QVERIFY(entry.endsWith('/') || file.open(QIODevice::WriteOnly));
#else
        for (int at = root.size() + 1; (at = path.indexOf('/', at)) > 0; ++at)
            ::mkdir(path.left(at).constData(), 0755);
        if (arrow >= 0)
            QVERIFY(::symlink(entry.mid(arrow + 2).constData(), path.constData()) == 0);
        else if (!entry.endsWith('/'))
            QVERIFY(::close(::open(path.constData(), O_CREAT | O_WRONLY, 0644)) == 0);
#endif
    }
}

// The output lines of find with @p args, in byte order.
QByteArrayList find(const QByteArray &args)
{
    QByteArrayList lines = sh(".", "find " + args + " 2>/dev/null | LC_ALL=C sort").split('\n');
    lines.removeLast();
    return lines;
}

// The directories below the current one, sorted, relative to it: find's
// "-mindepth 1 -type d -printf %P\\n", byte for byte on Linux.
QByteArrayList directoriesBelow()
{
    if (QDir::separator() == QLatin1Char('/'))
        return find(". -mindepth 1 -type d -printf '%P\\n'");
    QByteArrayList found;
    for (QDirIterator it(QStringLiteral("."), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
         it.hasNext();)
        found << QTextCodec::codecForLocale()->fromUnicode(it.next().mid(2));
    std::sort(found.begin(), found.end());
    return found;
}

// What RecureDir gives, as the file system's bytes, sorted; each must open.
// Walked with a few descriptors to spare, far fewer than the deepest tree has
// levels. On Windows the walk descends with "\", compared here as "/".
QByteArrayList listed(const QByteArray &arg, [[maybe_unused]] int spare = 3)
{
#ifdef _WIN32
    QStringList found = CKrCommon::GetSingleTon().RecureDir(localText(arg));
    found.replaceInStrings(QStringLiteral("\\"), QStringLiteral("/"));
#else
    rlimit limit{}, low{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const int lowestFree = ::dup(0);
    ::close(lowestFree);
    low = {rlim_t(lowestFree + spare), limit.rlim_max};
    ::setrlimit(RLIMIT_NOFILE, &low);
    const QStringList found = CKrCommon::GetSingleTon().RecureDir(localText(arg));
    ::setrlimit(RLIMIT_NOFILE, &limit);
#endif
    QByteArrayList paths;
    for (const QString &path : found) {
        paths << QTextCodec::codecForLocale()->fromUnicode(path);
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
    // Rows named gbk_*, big5_* and shift_jis_* run under that local code page, the others under UTF-8.
    void init()
    {
        const QByteArray tag(QTest::currentDataTag());
        QByteArray codec = "UTF-8";
        for (const QByteArray name : {"GBK", "Big5", "Shift_JIS"})
            codec = tag.startsWith(name.toLower() + '_') ? name : codec;
#ifdef _WIN32
        // 8-bit paths are in the ANSI code page, whatever Qt's codec.
        if (tag.contains("trail_byte") && !(codec == "GBK" && ::GetACP() == 936))
            QSKIP("runs under its own ANSI code page only: 8-bit paths are ANSI text on Windows");
        if (tag.contains("link"))
            QSKIP("symbolic links need a privilege on Windows");
        if (tag.contains("incomplete") || tag.contains("invalid"))
            QSKIP("names are UTF-16 on Windows: none is cut off or ill-formed");
#else
        QTextCodec::setCodecForLocale(QTextCodec::codecForName(codec));
#endif
        m_dir = std::make_unique<QTemporaryDir>();
        m_root = QFile::encodeName(m_dir->path());
        QDir::setCurrent(m_dir->path());
    }
    // Names Qt cannot decode are removed by their bytes; Windows removes no current directory.
    void cleanup()
    {
        QDir::setCurrent(QDir::tempPath());
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), m_dir->path()});
    }

    // In a directory that holds work/ and a link work/l to it.
    void createDir_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArrayList>("directories");
        const QByteArrayList ab{"work", "work/a", "work/a/b"};
        QTest::newRow("file_path") << QByteArray("work/a/b/img.tif") << ab;
        QTest::newRow("trailing_separator") << QByteArray("work/a/b/") << ab;
        QTest::newRow("last_component_not_made") << QByteArray("work/a/b") << ab.mid(0, 2);
        QTest::newRow("parent_exists") << QByteArray("work/x") << ab.mid(0, 1);
        QTest::newRow("no_separator") << QByteArray("newdir") << ab.mid(0, 1);
        QTest::newRow("backslash_separates")
            << QByteArray("w\\a/img")
            << (QDir::separator() == QLatin1Char('/') ? QByteArrayList{"w", "w\\a", "work"} // a name on Linux
                                                      : QByteArrayList{"w", "w/a", "work"});
        QTest::newRow("absolute") << "/work/" + utf8Dir + "/x" << QByteArrayList{"work", "work/" + utf8Dir};
        // Beyond the old 260-byte buffer, each component a GBK name.
        QByteArray deep = "work";
        QByteArrayList made{"work"};
        for (int i = 0; i < 40; ++i)
            made << (deep += '/' + gbkDir + gbkDir + QByteArray::number(i));
        QTest::newRow("gbk_long") << deep + "/" + gbkFile << made;
        QTest::newRow("link_followed") << QByteArray("work/l/a/img") << ab.mid(0, 2);
        // Characters ending in the byte of "\": GBK 乗, Big5 功, Shift_JIS 表十.
        for (const auto &[tag, name] : {std::pair<const char *, QByteArray>{"gbk_trail_byte", "\x81\x5C"},
                                        {"big5_trail_byte", "\xA5\x5C"},
                                        {"shift_jis_trail_bytes", "\x95\x5C\x8F\x5C"}})
            QTest::newRow(tag) << "work/" + name + "/img" << QByteArrayList{"work", "work/" + name};
    }
    void createDir()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArrayList, directories);
        makeTree(m_root, {"work/", "work/l->."});
        // A leading "/" stands for the root of the fixture.
        CKrCommon::GetSingleTon().createDir(localText(path.startsWith('/') ? m_root + path : path));
        QCOMPARE(directoriesBelow(), directories);
    }

    // Root's createDir through a link another user planted in a sticky
    // directory: refused under fs.protected_symlinks, as mkdir -p is.
    void createDirThroughPlantedLink()
    {
#ifdef _WIN32
        QSKIP("fs.protected_symlinks is a Linux setting");
#else
        const LinkProtections debianDefaults("1 1 1 2");
        if (!debianDefaults.isSet())
            QSKIP("needs root, and the kernel's link protections settable");
        makeTree(m_root, {"victim/", "st/dl->../victim"});
        QVERIFY(::chmod("st", 01777) == 0 && ::lchown("st/dl", nobody, nobody) == 0);
        CKrCommon::GetSingleTon().createDir(QStringLiteral("st/dl/created/x/img"));
        QCOMPARE(find("victim -mindepth 1"), QByteArrayList());
#endif
    }

    void recureDir_data()
    {
        QTest::addColumn<QByteArrayList>("tree");
        QTest::addColumn<QByteArray>("path"); // after the root
        QTest::addColumn<QByteArrayList>("files");
        QTest::newRow("hidden_directories_skipped")
            << QByteArrayList{"x.tif", ".hidden.txt", "sub/y.tif", ".svn/z.txt", "a/.git/c", "a/b/"} << QByteArray("/")
            << QByteArrayList{".hidden.txt", "sub/y.tif", "x.tif"};
        QTest::newRow("gbk_names") << QByteArrayList{gbkDir + '/' + gbkFile, gbkFile} << QByteArray("/")
                                   << QByteArrayList{gbkFile, gbkDir + '/' + gbkFile};
        QTest::newRow("utf8_names") << QByteArrayList{utf8Dir + '/' + utf8File} << QByteArray("/" + utf8Dir + "/")
                                    << QByteArrayList{utf8Dir + '/' + utf8File};
        // A matched directory is walked under the text its files are listed with.
        QTest::newRow("no_trailing_separator")
            << QByteArrayList{"data/a.tif", "dadata/b.tif", "dat.txt", "other/c.tif"} << QByteArray("/da")
            << QByteArrayList{"dadat.txt (cannot be opened)", "dadata/b.tif"};
        // Names the codec cannot carry whole are left out, with what is below them.
        QTest::newRow("gbk_incomplete_character")
            << QByteArrayList{"lead", "lead\x81", "d\x81/f"} << QByteArray("/") << QByteArrayList{"lead"};
        QTest::newRow("utf8_invalid_byte") << QByteArrayList{"bad\xEF\xBF\xBD", "bad\xFF", "d\xFF/f"} << QByteArray("/")
                                           << QByteArrayList{"bad\xEF\xBF\xBD"};
        QTest::newRow("utf8_byte_order_mark")
            << QByteArrayList{"x", "\xEF\xBB\xBFx"} << QByteArray("/") << QByteArrayList{"x", "\xEF\xBB\xBFx"};
        QTest::newRow("symlink_loop") << QByteArrayList{"a/f", "a/up->..", "a/self->.", "a/b/back->../.."}
                                      << QByteArray("/") << QByteArrayList{"a/f"};
        QTest::newRow("linked_directory_outside")
            << QByteArrayList{"in/f", "out/g", "in/ext->../out", "in/link->f"} << QByteArray("/in/")
            << QByteArrayList{"in/ext/g", "in/f", "in/link"};
        QTest::newRow("missing_directory") << QByteArrayList{} << QByteArray("/none/") << QByteArrayList{};
    }
    void recureDir()
    {
        QFETCH(QByteArrayList, tree);
        QFETCH(QByteArray, path);
        QFETCH(QByteArrayList, files);
        makeTree(m_root, tree);
        for (QByteArray &file : files)
            file.prepend(m_root + '/'); // the rows list them sorted
        QCOMPARE(listed(m_root + path), files);
    }

    // A generated tree, with hidden files and directories, lists as find -L
    // does; with a 60-level chain branching at each level, linked into below.
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
        for (QByteArray deep = "deep/", other = "other/"; deep.size() < 125; deep += "d/", other += "o/") {
            tree << deep + "f" << deep + "e/g" << other + "e/g";
            if (deep.size() == 85)
                tree << deep + "s->" + m_root + "/other";
        }
        makeTree(m_root, tree);
#ifdef _WIN32
        // find's listing by Qt; the link is a plain file here.
        QByteArrayList all;
        for (QDirIterator it(QFile::decodeName(m_root), QDir::Files | QDir::Hidden | QDir::System,
                             QDirIterator::Subdirectories);
             it.hasNext();) {
            const QByteArray path = QTextCodec::codecForLocale()->fromUnicode(it.next());
            if (!path.left(path.lastIndexOf('/')).mid(m_root.size()).contains("/."))
                all << path;
        }
        std::sort(all.begin(), all.end());
#else
        const QByteArrayList all = find("-L " + m_root + " -type f -not -path '*/.*/*'");
#endif
        QCOMPARE(listed(m_root + '/'), all);
        QCOMPARE(listed(m_root + '/', 16), all); // more than the walk holds at once
    }
};

QTEST_GUILESS_MAIN(DirectoryTest)
#include "directorytest.moc"
