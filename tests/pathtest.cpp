// SPDX-License-Identifier: MIT
// CKrCommon's path decomposition: pure text, both separators, bytes kept.
#include <CKrCommon.h>

#include <QTest>

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
        row("mixed_separators", {"data/x\\y", "data", "data/x", "data/x\\y", "", "y"});
        row("leading_separator", {"/usr/local", "", "/usr", "/usr/local", "", "local"});
        row("leading_backslash", {"\\img.tif", "", "", "\\img", ".tif", "img.tif"});
        row("no_separator", {"img.tif", "", "", "img", ".tif", "img.tif"});
        row("trailing_separator", {"D:\\data\\", "D:", "D:\\data", "D:\\data\\", "", "data"});
        row("two_trailing", {"D:\\d\\\\", "D:", "D:\\d\\", "D:\\d\\\\", "", ""});
        row("drive", {"D:\\", "D:", "D:", "D:\\", "", "D:"});
        row("backslash_outranks_slash", {"a\\b/d.tif", "a", "a\\b", "a\\b/d", ".tif", "b/d.tif"});
        row("slashes", {"a/b\\d", "a", "a/b", "a/b\\d", "", "d"});
        row("first_dot_of_name", {"x.y.z", "", "", "x", ".y.z", "x.y.z"});
        row("dot_in_directory", {"D:\\old.dir\\img.tif", "D:", "D:\\old.dir", "D:\\old.dir\\img", ".tif", "img.tif"});
        row("dot_in_directory_only", {"D:\\old.dir\\img", "D:", "D:\\old.dir", "D:\\old.dir\\img", "", "img"});
        row("dot_name", {".cfg", "", "", "", "", ".cfg"});
        row("dot_name_in_dot_directory", {"d.x/.cfg.bak", "d.x", "d.x", "d.x/", "", ".cfg.bak"});
        row("empty", {"", "", "", "", "", ""});
        // A zero byte is an ordinary byte to the std::string members; the C string ends there.
        const QByteArray zero("a\0.b/c", 6);
        row("zero_byte", {zero, zero.left(4), zero.left(4), zero, "", "a"});
        // Any length: the old working buffer held 1023 bytes. GBK bytes pass through.
        const QByteArray gbk(3000, '\xD7');
        row("long", {gbk + '\\' + gbk + ".tif", gbk, gbk, gbk + '\\' + gbk, ".tif", gbk + ".tif"});
    }
    void decompose()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, root);
        QFETCH(QByteArray, parent);
        QFETCH(QByteArray, withoutSuffix);
        QFETCH(QByteArray, suffix);
        QFETCH(QByteArray, fileName);
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
};

QTEST_GUILESS_MAIN(PathTest)
#include "pathtest.moc"
