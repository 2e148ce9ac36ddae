// SPDX-License-Identifier: MIT
// CKrCommon's path decomposition: pure text, both separators, bytes kept.
#include <CKrCommon.h>

#include <QTest>

#include <string>

namespace {

enum class Member { Root, Parent, WithoutSuffix, Suffix, FileName };

std::string decomposed(Member member, const std::string &path)
{
    CKrCommon &common = CKrCommon::GetSingleTon();
    switch (member) {
    case Member::Root:
        return common.getRootPath(path);
    case Member::Parent:
        return common.getParentPath(path);
    case Member::WithoutSuffix:
        return common.getFileNameWithOutSuffix(path);
    case Member::Suffix:
        return common.getSuffixByFileName(path);
    case Member::FileName:
        return common.getFileNameFormPath(path.c_str());
    }
    return std::string();
}

} // namespace

Q_DECLARE_METATYPE(Member)

class PathTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findIndex_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<char>("ch");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("dots") << QByteArray("x.y.z") << '.' << 1 << 3;
        QTest::newRow("absent") << QByteArray("xyz") << '.' << -1 << -1;
        QTest::newRow("empty") << QByteArray() << '.' << -1 << -1;
        QTest::newRow("zero_byte_is_ordinary") << QByteArray("a\0b\0", 4) << '\0' << 1 << 3;
        QTest::newRow("gbk_trail_byte") << QByteArray("\xCA\x5C.") << '\\' << 1 << 1;
    }
    void findIndex()
    {
        QFETCH(QByteArray, text);
        QFETCH(char, ch);
        QFETCH(int, first);
        QFETCH(int, last);
        const std::string s(text.constData(), std::size_t(text.size()));
        QCOMPARE(CKrCommon::GetSingleTon().findIndex(s, ch, true), first);
        QCOMPARE(CKrCommon::GetSingleTon().findIndex(s, ch, false), last);
    }

    // Each backslash below is one byte of the path.
    void decompose_data()
    {
        QTest::addColumn<Member>("member");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("expected");
        const auto row = [](const char *name, Member m, const char *path, const char *expected) {
            QTest::newRow(name) << m << QByteArray(path) << QByteArray(expected);
        };
        row("root_backslash", Member::Root, "D:\\data\\img.tif", "D:");
        row("root_first_of_either", Member::Root, "data/x\\y", "data");
        row("root_leading_separator", Member::Root, "/usr/local", "");
        row("root_none", Member::Root, "img.tif", "");
        row("parent_backslash", Member::Parent, "D:\\data\\img.tif", "D:\\data");
        row("parent_trailing_separator", Member::Parent, "D:\\data\\", "D:\\data");
        row("parent_last_of_either", Member::Parent, "a/b\\d", "a/b");
        row("parent_leading_only", Member::Parent, "\\img.tif", "");
        row("parent_none", Member::Parent, "img.tif", "");
        row("without_suffix", Member::WithoutSuffix, "D:\\data\\img.tif", "D:\\data\\img");
        row("without_suffix_first_dot_of_name", Member::WithoutSuffix, "a/img.tar.gz", "a/img");
        row("without_suffix_dot_in_directory", Member::WithoutSuffix, "D:\\old.dir\\img.tif", "D:\\old.dir\\img");
        row("without_suffix_dot_in_directory_only", Member::WithoutSuffix, "a.b/c\\img", "a.b/c\\img");
        row("without_suffix_none", Member::WithoutSuffix, "img", "img");
        row("without_suffix_dot_name", Member::WithoutSuffix, ".cfg", "");
        row("without_suffix_dot_name_in_directory", Member::WithoutSuffix, "d.x/.cfg", "d.x/");
        row("suffix", Member::Suffix, "D:\\data\\img.tif", ".tif");
        row("suffix_from_first_dot", Member::Suffix, "x.y.z", ".y.z");
        row("suffix_dot_in_directory", Member::Suffix, "D:\\old.dir\\img.tif", ".tif");
        row("suffix_dot_in_directory_only", Member::Suffix, "D:\\old.dir\\img", "");
        row("suffix_dot_name", Member::Suffix, ".cfg", "");
        row("suffix_dot_name_in_directory", Member::Suffix, "d.x/.cfg.bak", "");
        row("suffix_none", Member::Suffix, "img", "");
        row("file_name", Member::FileName, "D:\\data\\img.tif", "img.tif");
        row("file_name_trailing_separator", Member::FileName, "D:\\data\\dir\\", "dir");
        row("file_name_two_trailing", Member::FileName, "D:\\data\\dir\\\\", "");
        row("file_name_backslash_outranks_slash", Member::FileName, "a\\b/d.tif", "b/d.tif");
        row("file_name_slash", Member::FileName, "a/b/d.tif", "d.tif");
        row("file_name_drive", Member::FileName, "D:\\", "D:");
        row("file_name_none", Member::FileName, "img.tif", "img.tif");
        for (Member m : {Member::Root, Member::Parent, Member::WithoutSuffix, Member::Suffix, Member::FileName})
            row(qPrintable(QStringLiteral("empty_%1").arg(int(m))), m, "", "");
        // Any length: the old working buffers held 1023 bytes.
        const QByteArray longDir = QByteArray(5000, '\xD7');
        QTest::newRow("file_name_long") << Member::FileName << longDir + "\\" + longDir + ".tif" << longDir + ".tif";
        QTest::newRow("suffix_long") << Member::Suffix << longDir + "/" + longDir + ".tif" << QByteArray(".tif");
    }
    void decompose()
    {
        QFETCH(Member, member);
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, expected);
        QCOMPARE(QByteArray::fromStdString(decomposed(member, path.toStdString())), expected);
    }

    void nullFileName() { QCOMPARE(CKrCommon::GetSingleTon().getFileNameFormPath(nullptr), std::string()); }
};

QTEST_GUILESS_MAIN(PathTest)
#include "pathtest.moc"
