// SPDX-License-Identifier: MIT
// Path text rules and the matching of PathList.
#include "viewpara/pathlist.h"
#include "viewpara/pathtext.h"

#include <QTest>

#include <random>

using namespace krcommon::viewpara;

class PathListTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Steps, bytes read as Latin-1: "a<path>" append, "c" clear, "+<path>=<size>" add, "-<path>=<0|1>" remove,
    // "?<path>=<0|1>" contains, "s<path>=<suffix>" fileSuffix, "f<suffix>=<filter>=<0|1>" filterAccepts.
    // "entries" is the list at the end.
    void rules_data()
    {
        QTest::addColumn<QByteArray>("steps");
        QTest::addColumn<QByteArray>("entries");
        const char *const rows[][3] = {
            {"suffix_of_file_name",
             "sd:\\data.old\\readme= s/srv/data.old/readme= sd:/a.b\\x.tar.gz=gz sd:\\x\\.tif=tif", ""},
            {"filter_dot_or_star_any_case", "ftif=*.bbi;*.tif=1 fTIF=.tif;*.jpg=1", ""},
            {"filter_equality_not_prefix", "fk=*.kxm;*.kxv=0 fti=*.tif=0 fsu=*.sup=0 fkx=*.kxm;*.xyz=0", ""},
            {"filter_empty_suffix", "f=*.;.=0", ""},
            {"equality_not_containment",
             "ad:/x/a.tif.ovr +d:/x/a.tif=2 -d:/x/a.tif=1 ?d:/x/a.tif=0 -a.tif=0 ?d:/x/a.tif.ovr=1", "d:/x/a.tif.ovr"},
            {"longer_not_matched", "ad:/x/a.tif -d:/x/a.tif.ovr=0 ?d:/x/a.ti=0 +d:/x/a.tif.ovr=2",
             "d:/x/a.tif d:/x/a.tif.ovr"},
            {"case_is_exact",
             "aD:/Data/A.tif ?d:/data/a.tif=0 +d:/data/a.tif=2 +D:/Data/B.TIF=3 -D:/DATA/A.TIF=0 "
             "-D:/Data/A.tif=1 +D:/Data/B.TIF=2",
             "d:/data/a.tif D:/Data/B.TIF"},
            // The trail byte of a GBK character may be an ASCII capital: 0x88 0x44 and 0x88 0x64 differ.
            {"gbk_trail_bytes_not_folded", "+d:/\x88\x44/a.jpg=1 +d:/\x88\x64/a.jpg=2 -d:/\x88\x64/a.jpg=1",
             "d:/\x88\x44/a.jpg"},
            {"duplicates_from_file_first_goes",
             "ad:/a ax ad:/a ad:/a -d:/a=1 ?d:/a=1 +d:/a=3 -d:/a=1 +y=3 -d:/a=1 -d:/a=0 +d:/a=3", "x y d:/a"},
            {"clear_then_append", "+a=1 c ?a=0 aA +a=2 -a=1 +A=1", "A"},
            {"empty_path", "+=0 aa +=1 a -=0 ?=0", "a "},
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
                ok = list.remove(path) == bool(want);
            else if (step[0] == '?')
                ok = list.contains(path) == bool(want);
            else if (step[0] == 's')
                ok = fileSuffix(path) == text;
            else
                ok = filterAccepts(text.split(QLatin1Char(';')), path) == (arg.value(2) == "1");
            QVERIFY2(ok, step.constData());
        }
        QCOMPARE(list.paths().join(QLatin1Char(' ')).toLatin1(), entries);
    }

    // Random appends (with duplicates), adds and removes against a plain list
    // with the same rules: holes, compaction and the index must never show.
    void matchesPlainList()
    {
        std::mt19937 generator(7);
        PathList list;
        QStringList plain;
        for (int step = 0; step < 20000; ++step) {
            const QString path = QString::number(generator() % 300);
            const unsigned op = generator() % 8;
            if (op == 0) {
                list.append(path);
                plain.append(path);
            } else if (op < 3) {
                plain += plain.contains(path) ? QStringList() : QStringList(path);
                QCOMPARE(list.add(path), plain.size());
            } else {
                QCOMPARE(list.remove(path), plain.removeOne(path));
            }
            if (op == 7 || step == 19999)
                QCOMPARE(list.paths(), plain);
        }
    }
};

QTEST_GUILESS_MAIN(PathListTest)
#include "pathlisttest.moc"
