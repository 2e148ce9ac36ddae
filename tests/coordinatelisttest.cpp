// SPDX-License-Identifier: MIT
// CKrCommon::ptTransfer: coordinate lists "x1;x2;...|y1;y2;...".
#include <CKrCommon.h>

#include <QTest>

using Values = QList<double>;

class CoordinateListTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void transfer_data()
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

    void transfer()
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

QTEST_GUILESS_MAIN(CoordinateListTest)

#include "coordinatelisttest.moc"
