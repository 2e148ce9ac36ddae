// SPDX-License-Identifier: MIT
// CKrCommon::serialStr, the two forms of CKrCommon::insertLineBreak and
// CKrCommon::ptTransfer, the coordinate list parser.
#include <CKrCommon.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <string>

using Values = QList<double>;

namespace {

const char kDegenerateWidthsChild[] = "--degenerate-widths-child";

// Child process: the widths that divide by zero or never end in the plain
// rules, each result printed on its own line.
int runDegenerateWidthsChild()
{
    CKrCommon &common = CKrCommon::GetSingleTon();
    std::string empty, bytes = "abcdef";
    QString units = QStringLiteral("abcdef"), moreUnits = units;
    common.insertLineBreak(empty, 0);
    common.insertLineBreak(bytes, 0);
    common.insertLineBreak(units, 0);
    common.insertLineBreak(moreUnits, 1);
    std::printf("[%s]\n[%s]\n[%s]\n[%s]\n", empty.c_str(), bytes.c_str(), qPrintable(units), qPrintable(moreUnits));
    return 0;
}

} // namespace

class StringHelpersTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void serialStr_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("no_slashes") << QByteArray("d:\\img\\a.tif") << QByteArray("d:\\img\\a.tif");
        QTest::newRow("mixed_separators") << QByteArray("d:/img\\sub/a.tif") << QByteArray("d:\\img\\sub\\a.tif");
        QTest::newRow("gbk_bytes_kept") << QByteArray("/\xb5\xd8\xcd\xbc/") << QByteArray("\\\xb5\xd8\xcd\xbc\\");
        // The text ends at a zero byte: cut there when it holds a slash.
        QTest::newRow("slash_before_zero") << QByteArray("a/b\0c/d", 7) << QByteArray("a\\b");
        QTest::newRow("slash_only_after_zero") << QByteArray("ab\0c/d", 6) << QByteArray("ab\0c/d", 6);
    }

    void serialStr()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, expected);
        std::string text = path.toStdString();
        CKrCommon::GetSingleTon().serialStr(text);
        QCOMPARE(QByteArray::fromStdString(text), expected);
    }

    void lineBreakExamples_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("fixedCount");
        QTest::addColumn<QString>("growingCount");
        const QString abc = QStringLiteral("abcdefghij");
        QTest::newRow("ten_by_three") << abc << 3 << QStringLiteral("ab\ncd\nef\nghij")
                                      << QStringLiteral("ab\ncd\nef\ngh\nij");
        QTest::newRow("seven_by_three") << abc.left(7) << 3 << QStringLiteral("ab\ncd\nefg")
                                        << QStringLiteral("ab\ncd\nef\ng");
        QTest::newRow("width_one") << abc.left(3) << 1 << QStringLiteral("a\n\n\nbc") << abc.left(3);
        QTest::newRow("nine_by_three") << abc.left(9) << 3 << QStringLiteral("ab\ncd\nef\nghi")
                                       << QStringLiteral("ab\ncd\nef\ngh\ni");
        QTest::newRow("nine_by_two") << abc.left(9) << 2 << QStringLiteral("a\nb\nc\nd\nefghi")
                                     << QStringLiteral("a\nb\nc\nd\ne\nf\ng\nh\ni");
        QTest::newRow("as_long_as_width") << abc.left(4) << 4 << abc.left(4) << abc.left(4);
        QTest::newRow("negative_width") << abc.left(4) << -1 << abc.left(4) << abc.left(4);
    }

    void lineBreakExamples()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, fixedCount);
        QFETCH(QString, growingCount);
        std::string bytes = text.toStdString();
        CKrCommon::GetSingleTon().insertLineBreak(bytes, unsigned(width));
        QCOMPARE(QString::fromStdString(bytes), fixedCount);
        CKrCommon::GetSingleTon().insertLineBreak(text, width);
        QCOMPARE(text, growingCount);
    }

    // Width 0 (both forms) and 1 (QString) leave the text as it is. In a
    // child process, so that a hang fails instead of stalling the suite.
    void degenerateWidthsLeaveTextUnchanged()
    {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kDegenerateWidthsChild)},
                    QIODevice::ReadOnly | QIODevice::Text); // "\n" also where text ends in "\r\n"
        QVERIFY2(child.waitForFinished(20000), "insertLineBreak did not return");
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(child.readAllStandardOutput(), QByteArray("[]\n[abcdef]\n[abcdef]\n[abcdef]\n"));
    }

    void coordinateList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Values>("xs");
        QTest::addColumn<Values>("ys");

        QTest::newRow("three_points") << QStringLiteral("1;2;3|4;5;6") << Values{1, 2, 3} << Values{4, 5, 6};
        QTest::newRow("parts_of_different_length") << QStringLiteral("1;2;|4;5") << Values{1, 2, 0} << Values{4, 5};
        QTest::newRow("separator_only") << QStringLiteral("|") << Values{0} << Values{0};
        QTest::newRow("unreadable_token") << QStringLiteral("1;a;3|4") << Values{1, 0, 3} << Values{4};
        QTest::newRow("third_part_ignored") << QStringLiteral("1|2|3") << Values{1} << Values{2};
        QTest::newRow("empty_tokens_kept") << QStringLiteral(";;|;") << Values{0, 0, 0} << Values{0, 0};
        QTest::newRow("fractions_signs_exponents")
            << QStringLiteral("-1.5;+2.25;3e2|-4E-1;.5") << Values{-1.5, 2.25, 300} << Values{-0.4, 0.5};
        // Numbers are read in the C locale, around blanks, and never in part.
        QTest::newRow("blanks_around_number") << QStringLiteral(" 7 ;\t8|9 ") << Values{7, 8} << Values{9};
        QTest::newRow("comma_is_no_decimal_point") << QStringLiteral("1,5|2") << Values{0} << Values{2};
        QTest::newRow("number_with_tail") << QStringLiteral("12abc;0x10|") << Values{0, 0} << Values{0};
        // Without "|" there is no second part: the first is read, y gets nothing.
        QTest::newRow("no_separator") << QStringLiteral("1;2") << Values{1, 2} << Values{};
        QTest::newRow("empty_text") << QString() << Values{0} << Values{};
    }

    void coordinateList()
    {
        QFETCH(QString, text);
        QFETCH(Values, xs);
        QFETCH(Values, ys);

        // Values already in the lists stay in front of the new ones.
        Values xList{-1}, yList{-2, -3};
        const QString original = text;
        CKrCommon::GetSingleTon().ptTransfer(xList, yList, text);
        QCOMPARE(xList, Values{-1} + xs);
        QCOMPARE(yList, (Values{-2, -3} + ys));
        QCOMPARE(text, original);
    }
};

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], kDegenerateWidthsChild) == 0)
        return runDegenerateWidthsChild();
    QCoreApplication app(argc, argv);
    StringHelpersTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "stringhelperstest.moc"
