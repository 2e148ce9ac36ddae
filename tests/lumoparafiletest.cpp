// SPDX-License-Identifier: MIT
// CKrLumoParaFile as a host sees it: the record it serves, copies sharing one
// implementation, and saving. The model is observed through the file the facade writes.
#include "testhelpers.h"
#include <CKrLumoParaFile.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <memory>
#include <unistd.h>
#ifndef NAME_MAX
#define NAME_MAX 255 // Windows: the longest name, in UTF-16 units
#endif

Q_DECLARE_METATYPE(IMAGE_TYPE_INFO)

namespace {

const IMAGE_TYPE_INFO aerial{"", 1, ""};

// The bytes save2File writes for @p file over a file holding "old", or
// "<failed>" and what the file holds after a failed save.
QByteArray saved(CKrLumoParaFile &file)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("view.txt")));
    writeBytes(path, "old");
    const bool ok = file.save2File(path.constData());
    return (ok ? "" : "<failed>") + readBytes(path);
}

// A memory figure of this process from /proc/self/status ("VmRSS:   1234 kB"), in KiB.
[[maybe_unused]] long memoryKiB(const char *field)
{
    QFile file(QStringLiteral("/proc/self/status"));
    const QByteArray status = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return status.mid(status.indexOf(field) + int(qstrlen(field))).split('k').first().trimmed().toLong();
}

} // namespace

class LumoParaFileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Steps: '+' addViewFile, '*' addViewFile as the GeoSysGcd file, '-' delViewFile, each followed by the result
    // ('1' true, '0' false); '?' isCanShow followed by the code ('n' for -1); then the path. The record's category
    // never counts: a facade always serves source data.
    void edits_data()
    {
        QTest::addColumn<IMAGE_TYPE_INFO>("info");
        QTest::addColumn<QByteArrayList>("steps");
        QTest::addColumn<QByteArray>("file");
        const auto row = [](const char *name, const IMAGE_TYPE_INFO &info, const QByteArrayList &steps,
                            const QByteArray &file) { QTest::newRow(name) << info << steps << file; };
        row("dem_record_sat_tianhui1", {"\xCC\xEC\xBB\xE6\xD2\xBB\xBA\xC5", 2, "DEM"},
            {"?7D:/Img/A.TIF", "+1D:/Img/A.TIF"}, "SatPhoto [SensorType = TH]\nD:/Img/A.TIF\n\n");
        row("gcp_record_gcp", {"", 1, "GCP"}, {"?na.gcp", "+0a.gcp"}, "");
        row("sensor_type_control_byte", {"Z3\x01", 2, ""}, {"+1d:/a.tif"},
            "SatPhoto [SensorType = Z3\x01]\nd:/a.tif\n\n");
    }
    void edits()
    {
        QFETCH(IMAGE_TYPE_INFO, info);
        QFETCH(QByteArrayList, steps);
        QFETCH(QByteArray, file);

        CKrLumoParaFile facade(info);
        for (const QByteArray &step : steps) {
            const char *path = step.constData() + 2;
            const int result = step[0] == '?'   ? facade.isCanShow(path)
                               : step[0] == '-' ? facade.delViewFile(path)
                                                : facade.addViewFile(path, step[0] == '*');
            QVERIFY2(result == (step[1] == 'n' ? -1 : step[1] - '0'), step.constData());
        }
        QCOMPARE(saved(facade), file);
    }

    void defaultFacade()
    {
        CKrLumoParaFile file;
        QCOMPARE(file.isCanShow("d:/a.jpg"), -1);
        QVERIFY(file.addViewFile("D:/Ctrl/Area", true));
        QCOMPARE(saved(file), QByteArray("GeoSysGcd\nD:/Ctrl/Area\n\n"));
    }

    void copiesShare()
    {
        auto original = std::make_unique<CKrLumoParaFile>(IMAGE_TYPE_INFO{"", 1, ""});
        CKrLumoParaFile copy(*original);
        CKrLumoParaFile assigned(IMAGE_TYPE_INFO{"", 3, ""});
        CKrLumoParaFile &self = assigned;
        assigned = self; // as its only user, it must not free its implementation here
        QVERIFY(assigned.addViewFile("d:/x.sup", false));
        assigned = copy; // frees the ADS implementation; ASan reports a leak otherwise
        QVERIFY(original->addViewFile("d:/a.jpg", false));
        QVERIFY(copy.addViewFile("d:/b.jpg", false));
        QVERIFY(assigned.delViewFile("d:/b.jpg"));
        original.reset(); // the copies outlive the original
        QCOMPARE(saved(copy), QByteArray("AeroPhoto\nd:/a.jpg\n\n"));
        QCOMPARE(saved(assigned), QByteArray("AeroPhoto\nd:/a.jpg\n\n"));
    }

    void loadReplacesContent()
    {
        QTemporaryDir dir;
        const QByteArray name = QFile::encodeName(dir.filePath(QStringLiteral("in.txt")));
        CKrLumoParaFile ads(IMAGE_TYPE_INFO{"", 3, ""}), file(IMAGE_TYPE_INFO{"", 1, ""});
        QVERIFY(ads.addViewFile("d:/b.sup", false) && ads.save2File(name.constData()));
        QVERIFY(file.addViewFile("d:/a.jpg", false) && file.load4File(name.constData()));
        // removeParaFile touches neither the model nor the file it names.
        file.removeParaFile(name.constData());
        file.removeParaFile(nullptr);
        QVERIFY(QFile::exists(QFile::decodeName(name)));
        QCOMPARE(saved(file), QByteArray("AdsPhoto\nd:/b.sup\n\n"));
    }

    // The temporary file's longer name must not be what makes a save fail: a name of NAME_MAX bytes, and a short
    // name ending a path of PATH_MAX - 1 bytes.
    void longestPathsSave()
    {
        QTemporaryDir tmp;
        QByteArray deep = QFile::encodeName(tmp.path());
        while (PATH_MAX - 1 - deep.size() > 130)
            QVERIFY(QDir().mkdir(QFile::decodeName(deep += '/' + QByteArray(100, 'd'))));
        deep += '/' + QByteArray(PATH_MAX - 2 - deep.size(), 'n');
        CKrLumoParaFile file(aerial);
        QVERIFY(file.addViewFile("d:/a.jpg", false));
        for (const QByteArray &path : {QFile::encodeName(tmp.path()) + '/' + QByteArray(NAME_MAX, 'n'), deep}) {
            QVERIFY(file.save2File(path.constData()));
            QCOMPARE(readBytes(path), QByteArray("AeroPhoto\nd:/a.jpg\n\n"));
        }
    }

    // The reader and the writer work in bounded pieces. A child loads 256 MiB of NUL bytes without a line feed (a
    // line's text ends at its first NUL, so the rest is not kept), or saves a 23 MiB file, and answers with its peak
    // growth in MiB.
    void memoryBounded_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<int>("limitMiB");
        QTest::newRow("reader_nul_bytes") << false << 32;
        QTest::newRow("writer_large_model") << true << 8;
    }
    void memoryBounded()
    {
#ifdef _WIN32
        QSKIP("measures the peak memory of a forked child in /proc");
#else
        QFETCH(bool, save);
        QFETCH(int, limitMiB);
        QTemporaryDir tmp;
        const QByteArray path = QFile::encodeName(tmp.filePath(QStringLiteral("big.txt")));
        CKrLumoParaFile file(aerial);
        if (save) {
            const QByteArray folder = "d:/survey/" + QByteArray(100, 'f') + '/';
            for (int i = 0; i < 200000; ++i)
                QVERIFY(file.addViewFile((folder + QByteArray::number(i) + ".jpg").constData(), false));
        } else {
            QVERIFY(writeBytes(path, "IMG\na.tif\n"));
            QVERIFY(::truncate(path.constData(), 256 << 20) == 0); // sparse: the NUL bytes take no disk
        }
        const int grown = inChild([&] {
            QFile peak(QStringLiteral("/proc/self/clear_refs")); // "5" resets the peak to the current size
            const long rss = peak.open(QIODevice::WriteOnly) && peak.write("5") == 1 ? memoryKiB("VmRSS:") : -1;
            peak.close();
            if (rss < 0 || !(save ? file.save2File(path.constData()) : file.load4File(path.constData())))
                return 255;
            return int(std::min(memoryKiB("VmHWM:") - rss, 250L << 10) >> 10);
        });
        QVERIFY2(grown >= 0 && grown < limitMiB, QByteArray::number(grown).constData());
        QVERIFY(!save || QFileInfo(QFile::decodeName(path)).size() > (20 << 20));
#endif
    }

#ifdef _WIN32
    // A read-only file (FILE_ATTRIBUTE_READONLY) is not saved over, and nothing is left beside it.
    void readOnlyAttributeRefused()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("view.txt"));
        QVERIFY(writeBytes(QFile::encodeName(name), "old") && QFile::setPermissions(name, QFile::ReadOwner));
        CKrLumoParaFile file(aerial);
        QVERIFY(file.addViewFile("d:/a.jpg", false));
        QVERIFY(!file.save2File(QFile::encodeName(name).constData()));
        QCOMPARE(readBytes(QFile::encodeName(name)), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("view.txt")});
        QFile::setPermissions(name, QFile::ReadOwner | QFile::WriteOwner);
    }
#endif
};

QTEST_GUILESS_MAIN(LumoParaFileTest)
#include "lumoparafiletest.moc"
