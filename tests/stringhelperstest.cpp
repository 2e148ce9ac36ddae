// SPDX-License-Identifier: MIT
// CKrCommon::serialStr and CKrCommon::ptTransfer, the coordinate list parser,
// by example. The line-break rules are the fuzzer's, whose corpus the suite
// replays.
#include <CKrCommon.h>

#include <QTest>

#include <string>

using Values = QList<double>;

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

    void coordinateList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Values>("xs");
        QTest::addColumn<Values>("ys");

        QTest::newRow("parts") << QStringLiteral("1;2;|4;5|6") << Values{1, 2, 0} << Values{4, 5};
        QTest::newRow("separator_only") << QStringLiteral("|") << Values{0} << Values{0};
        // Numbers are read in the C locale, around blanks, and never in part; anything else gives 0.
        QTest::newRow("numbers") << QStringLiteral("-1.5;+2.25;3e2; 7 ;\t8|-4E-1;.5;1,5;12abc;0x10;a;")
                                 << Values{-1.5, 2.25, 300, 7, 8} << Values{-0.4, 0.5, 0, 0, 0, 0, 0};
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

QTEST_GUILESS_MAIN(StringHelpersTest)

#include "stringhelperstest.moc"
