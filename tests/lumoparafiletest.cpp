// SPDX-License-Identifier: MIT
// CKrLumoParaFile as a host sees it: the record it serves, copies sharing one
// implementation, and saving. The model is observed through the file the facade writes.
#include <CKrLumoParaFile.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(IMAGE_TYPE_INFO)

namespace {

QByteArray contents(const QByteArray &path)
{
    QFile in(QFile::decodeName(path));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<unreadable>");
}

// The bytes save2File writes for @p file.
QByteArray saved(CKrLumoParaFile &file)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("view.txt")));
    return file.save2File(path.constData()) ? contents(path) : QByteArray("<failed>");
}

} // namespace

class LumoParaFileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The record's category never counts: a facade always serves source data.
    void recordServed_data()
    {
        QTest::addColumn<IMAGE_TYPE_INFO>("info");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("dem_record_sat_tianhui1")
            << IMAGE_TYPE_INFO{"\xCC\xEC\xBB\xE6\xD2\xBB\xBA\xC5", 2, "DEM"} << QByteArray("D:/Img/A.TIF") << 7
            << QByteArray("SatPhoto [SensorType = TH]\nd:/img/a.tif\n\n");
        QTest::newRow("gcp_record_gcp") << IMAGE_TYPE_INFO{"", 1, "GCP"} << QByteArray("a.gcp") << -1 << QByteArray();
        QTest::newRow("empty_record_ads")
            << IMAGE_TYPE_INFO{"", 3, ""} << QByteArray("A.SUP") << 8 << QByteArray("AdsPhoto\na.sup\n\n");
    }
    void recordServed()
    {
        QFETCH(IMAGE_TYPE_INFO, info);
        QFETCH(QByteArray, path);
        QFETCH(int, code);
        QFETCH(QByteArray, file);

        CKrLumoParaFile facade(info);
        QCOMPARE(facade.isCanShow(path.constData()), code);
        QCOMPARE(facade.addViewFile(path.constData(), false), code > 0);
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
        QVERIFY(assigned.delViewFile("D:/B.JPG"));
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
        QCOMPARE(saved(file), QByteArray("AdsPhoto\nd:/b.sup\n\n"));
    }

    // A child process saves under a 64 KiB file size limit, so writing fails for real.
    void failedSaveKeepsFile()
    {
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("view.txt")));
        CKrLumoParaFile file(IMAGE_TYPE_INFO{"", 1, ""});
        QVERIFY(file.addViewFile("d:/old.jpg", false) && file.save2File(path.constData()));
        const QByteArray before = contents(path);
        for (int i = 0; i < 20000; ++i)
            file.addViewFile(("d:/photos/" + QByteArray::number(i) + ".jpg").constData(), false);

        const pid_t pid = ::fork();
        if (pid == 0) {
            const rlimit limit{64 * 1024, 64 * 1024};
            std::signal(SIGXFSZ, SIG_IGN);
            ::_exit(::setrlimit(RLIMIT_FSIZE, &limit) != 0 ? 2 : file.save2File(path.constData()) ? 1 : 0);
        }
        int status = -1;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QCOMPARE(status, 0); // 256: save2File returned true; 512: no limit set; below 256: a signal
        QCOMPARE(contents(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("view.txt")});
        // Without the limit the same save succeeds: the limit was what made it fail.
        QVERIFY(file.save2File(path.constData()) && contents(path).size() > 64 * 1024);
    }
};

QTEST_GUILESS_MAIN(LumoParaFileTest)
#include "lumoparafiletest.moc"
