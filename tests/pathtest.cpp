// SPDX-License-Identifier: MIT
// CKrCommon's path decomposition: pure text, both separators, bytes kept.
// The rules for any bytes are paths_fuzzer's, whose corpus the suite replays
// on Linux; the rows here are Windows paths and the code pages whose
// characters may end in "\", as the Windows build, with Qt's own codecs,
// must decompose them too.
#include "testhelpers.h"
#include <CKrCommon.h>

#include <QFile>
#include <QTest>

#include <climits>
#include <cstdio>

// gcc names its sanitizers with macros, clang with __has_feature.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KRCOMMON_TEST_SANITIZED
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KRCOMMON_TEST_SANITIZED
#endif
#endif

namespace {

// The memory the system can give without swapping, in bytes.
[[maybe_unused]] qint64 availableMemory()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    const QByteArray text = meminfo.open(QIODevice::ReadOnly) ? meminfo.readAll() : QByteArray();
    const int at = text.indexOf("MemAvailable:");
    long long kib = 0;
    return at >= 0 && std::sscanf(text.constData() + at, "MemAvailable: %lld", &kib) == 1 ? kib << 10 : 0;
}

// A path of INT_MAX + 2 bytes whose only separator is its last byte, copied
// once (to 4 GiB in all).
[[maybe_unused]] bool beyondIntMaxChild()
{
    CKrCommon &common = CKrCommon::GetSingleTon();
    const std::size_t size = std::size_t(INT_MAX) + 2;
    std::string path;
    path.reserve(size + 1);
    path.assign(size, 'a');
    path.back() = '\\';
    const std::size_t parent = common.getParentPath(path).size();
    std::string root = common.getRootPath(std::move(path));
    const std::size_t rootSize = root.size();
    return parent == size - 1 && rootSize == size - 1 && common.findIndex(std::move(root += '/'), '/', true) == -1;
}

} // namespace

class PathTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each backslash below is one byte of the path.
    void decompose_data()
    {
        for (const char *column : {"path", "root", "parent", "withoutSuffix", "suffix", "fileName"})
            QTest::addColumn<QByteArray>(column);
        const auto row = [](const char *name, std::initializer_list<QByteArray> texts) {
            QTestData &data = QTest::newRow(name);
            for (const QByteArray &text : texts)
                data << text;
        };
        row("windows", {"D:\\data\\img.tif", "D:", "D:\\data", "D:\\data\\img", ".tif", "img.tif"});
        row("trailing_separator", {"D:\\data\\", "D:", "D:\\data", "D:\\data\\", "", "data"});
        row("drive", {"D:\\", "D:", "D:", "D:\\", "", "D:"});
        row("backslash_outranks_slash", {"a\\b/d.tif", "a", "a\\b", "a\\b/d", ".tif", "b/d.tif"});
        row("dot_in_directory", {"D:\\old.dir\\img.tif", "D:", "D:\\old.dir", "D:\\old.dir\\img", ".tif", "img.tif"});
        row("dot_in_directory_only", {"D:\\old.dir\\img", "D:", "D:\\old.dir", "D:\\old.dir\\img", "", "img"});
        // Under the code page named first: a character whose last byte is "\" (GBK 乗 81 5C, Big5 功 A5 5C,
        // Shift_JIS 表 95 5C and 十 8F 5C) holds no separator; findIndex still finds bytes.
        const QByteArray cheng("\x81\x5C"), gong("\xA5\x5C"), biao("\x95\x5C"), shi("\x8F\x5C");
        row("gbk_trail_byte", {cheng + "\\a.tif", cheng, cheng, cheng + "\\a", ".tif", "a.tif"});
        row("gbk_name_ends_in_trail", {"d:\\x." + cheng, "d:", "d:", "d:\\x", "." + cheng, "x." + cheng});
        row("gbk_pair_before_separator", {"\x81\x81\\a", "\x81\x81", "\x81\x81", "\x81\x81\\a", "", "a"});
        row("big5_trail_byte", {gong + "\\b", gong, gong, gong + "\\b", "", "b"});
        row("big5_cut_off_character", {"\xA5/x", "\xA5", "\xA5", "\xA5/x", "", "x"});
        row("shift_jis_trail_bytes", {biao + '\\' + shi, biao, biao, biao + '\\' + shi, "", shi});
    }
    void decompose()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, root);
        QFETCH(QByteArray, parent);
        QFETCH(QByteArray, withoutSuffix);
        QFETCH(QByteArray, suffix);
        QFETCH(QByteArray, fileName);
        QByteArray codecName = QTextCodec::codecForLocale()->name();
        for (const QByteArray name : {"GBK", "Big5", "Shift_JIS"}) {
            if (QByteArray(QTest::currentDataTag()).startsWith(name.toLower() + '_'))
                codecName = name;
        }
        const LocalCodec codec(codecName);
        CKrCommon &common = CKrCommon::GetSingleTon();
        const std::string p(path.constData(), std::size_t(path.size()));
        QCOMPARE(QByteArray::fromStdString(common.getRootPath(p)), root);
        QCOMPARE(QByteArray::fromStdString(common.getParentPath(p)), parent);
        QCOMPARE(QByteArray::fromStdString(common.getFileNameWithOutSuffix(p)), withoutSuffix);
        QCOMPARE(QByteArray::fromStdString(common.getSuffixByFileName(p)), suffix);
        QCOMPARE(QByteArray::fromStdString(common.getFileNameFormPath(p.c_str())), fileName);
        QCOMPARE(common.getFileNameFormPath(nullptr), std::string());
        for (const char ch : {'.', '\\', '\0'}) {
            QCOMPARE(common.findIndex(p, ch, true), path.indexOf(ch));
            QCOMPARE(common.findIndex(p, ch, false), path.lastIndexOf(ch));
        }
    }

    // findIndex has no int for a position beyond INT_MAX; the others work on the whole string.
    void beyondIntMax()
    {
#if defined(KRCOMMON_TEST_SANITIZED)
        QSKIP("needs more memory than a sanitizer build can spare");
#elif defined(_WIN32)
        QSKIP("keeps its 4 GiB in a forked child");
#else
        if (availableMemory() < (qint64(5) << 30))
            QSKIP("needs 5 GiB of available memory");
        QCOMPARE(inChild([] { return int(!beyondIntMaxChild()); }), 0);
#endif
    }
};

QTEST_GUILESS_MAIN(PathTest)
#include "pathtest.moc"
