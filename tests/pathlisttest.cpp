// SPDX-License-Identifier: MIT
// Path text rules and the matching of PathList.
#include "viewpara/pathlist.h"
#include "viewpara/pathtext.h"

#include <QTest>

using namespace krcommon::viewpara;

class PathListTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Steps, bytes read as Latin-1: "a<path>" append, "c" clear, "+<path>=<size>" add, "-<path>=<index>"
    // remove, "?<path>=<index>" indexOf and contains, "s<path>=<suffix>" fileSuffix, "f<suffix>=<filter>=<0|1>"
    // filterAccepts. "entries" is the list at the end.
    void rules_data()
    {
        QTest::addColumn<QByteArray>("steps");
        QTest::addColumn<QByteArray>("entries");
        const char *const rows[][3] = {
            {"suffix_of_file_name", "sd:\\data.old\\readme= s/srv/data.old/readme= sd:/a.b\\x.tar.gz=gz", ""},
            {"filter_dot_or_star_any_case", "ftif=*.bbi;*.tif=1 fTIF=.tif;*.jpg=1", ""},
            {"filter_equality_not_prefix", "fk=*.kxm;*.kxv=0 fti=*.tif=0 fsu=*.sup=0 fkx=*.kxm;*.xyz=0", ""},
            {"filter_empty_suffix", "f=*.;.=0", ""},
            {"equality_not_containment", "ad:/x/a.tif.ovr +d:/x/a.tif=2 -d:/x/a.tif=1 -a.tif=-1 ?D:/X/A.TIF.OVR=0",
             "d:/x/a.tif.ovr"},
            {"longer_not_matched", "ad:/x/a.tif -d:/x/a.tif.ovr=-1 ?d:/x/a.ti=-1 +d:/x/a.tif.ovr=2",
             "d:/x/a.tif d:/x/a.tif.ovr"},
            {"capitals_from_file",
             "aD:/Data/A.tif ?d:/DATA/a.tif=0 +d:/data/a.TIF=1 -D:/Data/A.tif=0 ?d:/data/a.tif=-1", ""},
            {"add_lowercases", "+D:/Data/B.TIF=1 +D:/Data/B.TIF=1 +d:/data/b.tif=1", "d:/data/b.tif"},
            {"duplicates_from_file",
             "ax aD:/A.tif ad:/a.tif ?d:/a.TIF=1 -d:/A.TIF=1 ?D:/a.tif=1 +d:/a.tif=2 -d:/a.tif=1", "x"},
            {"latin1_not_folded", "f\xC9=*.\xE9=0 a\xC4\xE3.tif -\xE4\xE3.tif=-1 +\xC4\xC3.TIF=2",
             "\xC4\xE3.tif \xC4\xC3.tif"},
            {"clear_then_append", "+a=1 c ?a=-1 aA +a=1 -a=0 +A=1", "a"},
            {"empty_path", "+=0 aa +=1 -=-1 ?=-1", "a"},
        };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QByteArray(row[1]) << QByteArray(row[2]);
    }

    void rules()
    {
        QFETCH(QByteArray, steps);
        QFETCH(QByteArray, entries);
        PathList list;
        for (const QByteArray &step : steps.split(' ')) {
            const QByteArrayList arg = step.mid(1).split('=');
            const QString path = QString::fromLatin1(arg[0]), text = QString::fromLatin1(arg.value(1));
            const int want = text.toInt();
            bool ok = true;
            if (step[0] == 'a')
                list.append(path);
            else if (step[0] == 'c')
                list.clear();
            else if (step[0] == '+')
                ok = list.add(path) == want;
            else if (step[0] == '-')
                ok = list.remove(path) == want;
            else if (step[0] == '?')
                ok = list.indexOf(path) == want && list.contains(path) == (want >= 0);
            else if (step[0] == 's')
                ok = fileSuffix(path) == text;
            else
                ok = filterAccepts(text.split(QLatin1Char(';')), path) == (arg.value(2) == "1");
            QVERIFY2(ok, step.constData());
        }
        QCOMPARE(list.paths().join(QLatin1Char(' ')).toLatin1(), entries);
    }
};

QTEST_GUILESS_MAIN(PathListTest)
#include "pathlisttest.moc"
