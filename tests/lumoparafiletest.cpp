// SPDX-License-Identifier: MIT
// CKrLumoParaFile as a host sees it: the record it serves, forwarding, and
// copies sharing one implementation. The model is observed through the file
// the facade writes.
#include <CKrLumoParaFile.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QByteArray tianHuiGbk("\xCC\xEC\xBB\xE6\xD2\xBB\xBA\xC5");
const QByteArray ziYuanGbk("\xD7\xCA\xD4\xB4\xC8\xFD\xBA\xC5");

IMAGE_TYPE_INFO record(const QByteArray &sensor, int imageType, const char *category = "")
{
    IMAGE_TYPE_INFO info;
    info.sensorType = sensor.toStdString();
    info.imageType = imageType;
    info.category = category;
    return info;
}

// The bytes save2File writes for @p file; "<failed>" when it does not save.
QByteArray saved(CKrLumoParaFile &file)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("view.txt"));
    if (!dir.isValid() || !file.save2File(QFile::encodeName(name).constData()))
        return "<failed>";
    QFile in(name);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<unreadable>");
}

} // namespace

class LumoParaFileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void isCanShow_data()
    {
        QTest::addColumn<QByteArray>("category");
        QTest::addColumn<int>("imageType");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("expected");

        // The record's category never counts: a facade always serves source data.
        QTest::newRow("dem_record_jpg") << QByteArray("DEM") << 1 << QByteArray("a.jpg") << 6;
        QTest::newRow("dem_record_dem") << QByteArray("DEM") << 1 << QByteArray("a.dem") << -1;
        QTest::newRow("gcp_record_gcp") << QByteArray("GCP") << 2 << QByteArray("a.gcp") << -1;
        QTest::newRow("gcp_record_tif") << QByteArray("GCP") << 2 << QByteArray("a.TIF") << 7;
        QTest::newRow("empty_record_sup") << QByteArray("") << 3 << QByteArray("a.sup") << 8;
        QTest::newRow("no_kind") << QByteArray("SourceData") << 0 << QByteArray("a.tif") << -1;
    }
    void isCanShow()
    {
        QFETCH(QByteArray, category);
        QFETCH(int, imageType);
        QFETCH(QByteArray, path);
        QFETCH(int, expected);

        CKrLumoParaFile file(record({}, imageType, category.constData()));
        QCOMPARE(file.isCanShow(path.constData()), expected);
    }

    void satelliteGroup_data()
    {
        QTest::addColumn<QByteArray>("sensor");
        QTest::addColumn<QByteArray>("group");

        QTest::newRow("gbk_tianhui1") << tianHuiGbk << QByteArray("TH");
        QTest::newRow("gbk_ziyuan3") << ziYuanGbk << QByteArray("Z3");
        QTest::newRow("unknown_name") << QByteArray("ZY3") << QByteArray("ZY3");
        QTest::newRow("unknown_gbk_name")
            << QByteArray("\xB8\xDF\xB7\xD6") << QByteArray("\xB8\xDF\xB7\xD6");
    }
    void satelliteGroup()
    {
        QFETCH(QByteArray, sensor);
        QFETCH(QByteArray, group);

        CKrLumoParaFile file(record(sensor, 2));
        QCOMPARE(file.isCanShow("D:/Img/A.TIF"), 7);
        QVERIFY(file.addViewFile("D:/Img/A.TIF", false));
        QCOMPARE(saved(file), "SatPhoto [SensorType = " + group + "]\nd:/img/a.tif\n\n");
    }

    void defaultFacade()
    {
        CKrLumoParaFile file;
        QCOMPARE(file.isCanShow("d:/a.tif"), -1);
        QCOMPARE(file.isCanShow("d:/a.gcp"), -1);
        QVERIFY(!file.addViewFile("d:/a.gcp", false));
        QVERIFY(!file.delViewFile("d:/a.gcp"));
        QCOMPARE(saved(file), QByteArray());

        QVERIFY(file.addViewFile("D:/Ctrl/Area", true));
        QCOMPARE(saved(file), QByteArray("GeoSysGcd\nD:/Ctrl/Area\n\n"));
    }

    void nullPath()
    {
        CKrLumoParaFile plain;
        CKrLumoParaFile photos(record(tianHuiGbk, 2));
        for (CKrLumoParaFile *file : {&plain, &photos}) {
            QCOMPARE(file->isCanShow(nullptr), -1);
            QVERIFY(!file->addViewFile(nullptr, false));
            QVERIFY(!file->addViewFile(nullptr, true));
            QVERIFY(!file->delViewFile(nullptr));
            file->removeParaFile(nullptr);
            QVERIFY(!file->load4File(nullptr));
            QVERIFY(!file->save2File(nullptr));
            QCOMPARE(saved(*file), QByteArray());
        }
    }

    void copiesShare()
    {
        auto original = std::make_unique<CKrLumoParaFile>(record({}, 1));
        const CKrLumoParaFile copy(*original);
        QVERIFY(original->addViewFile("d:/a.jpg", false));
        CKrLumoParaFile second(copy);
        QVERIFY(second.addViewFile("d:/b.jpg", false));
        QVERIFY(second.delViewFile("D:/A.JPG"));
        const QByteArray expected("AeroPhoto\nd:/b.jpg\n\n");
        QCOMPARE(saved(*original), expected);

        // A copy outlives the facade it was made from.
        original.reset();
        QCOMPARE(saved(second), expected);
    }

    void assignmentGivesUpOld()
    {
        CKrLumoParaFile aero(record({}, 1));
        CKrLumoParaFile target(record({}, 3));
        CKrLumoParaFile &self = target;
        target = self; // as its only user, it must not free its implementation here
        CKrLumoParaFile keeper(target); // still uses target's first implementation
        target = aero;
        QVERIFY(target.addViewFile("d:/a.jpg", false));
        QCOMPARE(saved(aero), QByteArray("AeroPhoto\nd:/a.jpg\n\n"));
        QVERIFY(keeper.addViewFile("d:/b.sup", false));
        QCOMPARE(saved(keeper), QByteArray("AdsPhoto\nd:/b.sup\n\n"));

        // Replacing the last user of an implementation frees it; ASan reports a leak otherwise.
        keeper = aero;
        QCOMPARE(keeper.isCanShow("d:/c.jpg"), 6);
        QCOMPARE(saved(keeper), QByteArray("AeroPhoto\nd:/a.jpg\n\n"));
    }

    void loadReplacesContent()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray name = QFile::encodeName(dir.filePath(QStringLiteral("in.txt")));
        const QByteArray content("IMG\nD:/Data/B.tif\n\n");
        QFile out(QFile::decodeName(name));
        QVERIFY2(out.open(QIODevice::WriteOnly), qPrintable(out.errorString()));
        out.write(content);
        out.close();

        CKrLumoParaFile file(record({}, 1));
        QVERIFY(file.addViewFile("d:/a.jpg", false));
        file.removeParaFile("d:/a.jpg");
        QCOMPARE(saved(file), QByteArray("AeroPhoto\nd:/a.jpg\n\n"));
        QVERIFY(file.load4File(name.constData()));
        QCOMPARE(saved(file), content);

        QVERIFY(!file.load4File(QByteArray(name + ".missing").constData()));
        QCOMPARE(saved(file), QByteArray());
    }
};

QTEST_GUILESS_MAIN(LumoParaFileTest)
#include "lumoparafiletest.moc"
