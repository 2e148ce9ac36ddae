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
    void suffixFilter_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("accepted");
        const struct {
            const char *name, *path, *suffix, *filter;
            bool accepted;
        } rows[] = {
            {"star_entry", "d:/x/a.tif", "tif", "*.bbi;*.tif", true},
            {"dot_entry_upper", "d:\\x\\A.TIF", "TIF", ".tif;*.jpg", true},
            {"dot_in_backslash_dir", "d:\\data.old\\readme", "", "*.old;*.", false},
            {"dot_in_slash_dir", "/srv/data.old/readme", "", "*.old", false},
            {"last_dot_wins", "d:/a.b\\scene.tar.gz", "gz", "*.tar;*.gz", true},
            {"trailing_dot", "d:\\x\\a.", "", "*.;.", false},
            {"hidden_file", "/home/u/.bashrc", "bashrc", "*.bashrc", true},
            {"prefix_k", "a.k", "k", "*.kxm;*.kxv", false},
            {"prefix_ti", "a.ti", "ti", "*.tif", false},
            {"inner_su", "a.su", "su", "*.sup", false},
            {"kx_vs_kxm", "a.kx", "kx", "*.kxm;*.kxv;*.xyz;*.dxf", false},
            {"kx_listed", "a.KX", "KX", ".tif;*.jpg;*.kx;*.raw", true},
            {"latin1_not_folded", "a.\xc9", "\xc9", "*.\xe9", false},
        };
        for (const auto &row : rows)
            QTest::newRow(row.name) << fromBytes(row.path) << fromBytes(row.suffix)
                                    << fromBytes(row.filter) << row.accepted;
    }

    void suffixFilter()
    {
        QFETCH(QString, path);
        QFETCH(QString, suffix);
        QFETCH(QString, filter);
        QFETCH(bool, accepted);
        QCOMPARE(fileSuffix(path), suffix);
        QCOMPARE(filterAccepts(filter.split(QLatin1Char(';')), suffix), accepted);
    }

    // Ops: "a<path>" append, "+<path>=<size>" add, "-<path>=<index>" remove, "c" clear.
    void operations_data()
    {
        QTest::addColumn<QByteArray>("ops");
        QTest::addColumn<QByteArray>("entries");
        const char *const rows[][3] = {
            {"equality_not_containment", "ad:/x/a.tif.ovr +d:/x/a.tif=2 -d:/x/a.tif=1 -a.tif=-1",
             "d:/x/a.tif.ovr"},
            {"longer_not_matched", "ad:/x/a.tif -d:/x/a.tif.ovr=-1 +d:/x/a.tif.ovr=2",
             "d:/x/a.tif d:/x/a.tif.ovr"},
            {"capitals_from_file", "aD:/Data/A.tif +d:/data/a.TIF=1 -D:/Data/A.tif=0", ""},
            {"add_lowercases", "+D:/Data/B.TIF=1 +D:/Data/B.TIF=1 +d:/data/b.tif=1",
             "d:/data/b.tif"},
            {"duplicates_from_file", "aD:/A.tif ad:/a.tif -d:/A.TIF=0 +d:/a.tif=1 -d:/a.tif=0", ""},
            {"gbk_not_folded", "a\xC4\xE3.tif -\xE4\xE3.tif=-1 +\xC4\xC3.TIF=2",
             "\xC4\xE3.tif \xC4\xC3.tif"},
            {"clear_then_append", "+a=1 c aA +a=1 -a=0 +A=1 aB -b=1", "a"},
            {"remove_then_readd", "aX aY -x=0 +X=2 -y=0", "x"},
            {"empty_path", "+=0 aa +=1 -=-1", "a"},
        };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QByteArray(row[1]) << QByteArray(row[2]);
    }

    void operations()
    {
        QFETCH(QByteArray, ops);
        QFETCH(QByteArray, entries);
        // Reference rule: the first entry equal with A-Z folded, nothing else folded.
        const auto fold = [](QByteArray s) {
            for (char &c : s)
                c = (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
            return s;
        };
        PathList list;
        QByteArrayList probes;
        for (const QByteArray &op : ops.split(' ')) {
            const int eq = op.lastIndexOf('=');
            const QByteArray path = op.mid(1, eq < 0 ? -1 : eq - 1);
            probes << path << path.toUpper() << path.toLower(); // Latin-1 case variants too
            if (op[0] == 'a')
                list.append(QString::fromLatin1(path));
            else if (op[0] == 'c')
                list.clear();
            else if (op[0] == '+')
                QCOMPARE(list.add(QString::fromLatin1(path)), op.mid(eq + 1).toInt());
            else
                QCOMPARE(list.remove(QString::fromLatin1(path)), op.mid(eq + 1).toInt());
            // The index must agree with a plain scan after every step.
            for (const QByteArray &probe : qAsConst(probes)) {
                int index = -1;
                for (int i = 0; index < 0 && !probe.isEmpty() && i < list.size(); ++i)
                    index = fold(list.paths().at(i).toLatin1()) == fold(probe) ? i : -1;
                QVERIFY2(list.indexOf(QString::fromLatin1(probe)) == index, op.constData());
                QCOMPARE(list.contains(QString::fromLatin1(probe)), index >= 0);
            }
        }
        QCOMPARE(list.paths().join(QLatin1Char(' ')).toLatin1(), entries);
    }
};

QTEST_GUILESS_MAIN(PathListTest)
#include "pathlisttest.moc"
