// SPDX-License-Identifier: MIT
// CKrViewParaFileImp: the catalogue, the show test and the registry on the model.
#include "viewpara/viewparafileimp.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(IMAGE_TYPE_INFO)

namespace {

const QByteArray tianHuiGbk("\xCC\xEC\xBB\xE6\xD2\xBB\xBA\xC5");
const QByteArray ziYuanGbk("\xD7\xCA\xD4\xB4\xC8\xFD\xBA\xC5");

QStringList list(std::initializer_list<const char *> texts)
{
    QStringList result;
    for (const char *text : texts)
        result << QString::fromLatin1(text);
    return result;
}

IMAGE_TYPE_INFO record(const char *category, int imageType, const QByteArray &sensor = {})
{
    IMAGE_TYPE_INFO info;
    info.sensorType = sensor.toStdString();
    info.imageType = imageType;
    info.category = category;
    return info;
}

// A null QByteArray stands for a null path.
const char *pathOf(const QByteArray &path)
{
    return path.isNull() ? nullptr : path.constData();
}

// Every entry of the model as "Section=path", so a change to the wrong member shows.
QStringList dump(const CLMFile &file)
{
    QStringList lines;
    if (!file.m_GeoSysGcd.isEmpty())
        lines << QLatin1String("GeoSysGcd=") + file.m_GeoSysGcd;
    for (const CLMFile::TypeSection &section : CLMFile::typeSections) {
        for (const QString &path : (file.*section.list).paths())
            lines << QString::fromLatin1(section.keyword) + QLatin1Char('=') + path;
    }
    for (int i = 0; i < file.m_SensorTypeList.size(); ++i) {
        for (const QString &path : file.m_SatPhotoLists[size_t(i)]->paths())
            lines << QLatin1String("SatPhoto[%1]=").arg(file.m_SensorTypeList.at(i)) + path;
    }
    return lines;
}

} // namespace

class ViewParaImpTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filters_data()
    {
        QTest::addColumn<QStringList>("actual");
        QTest::addColumn<QStringList>("expected");

        const CKrViewParaFileImp plain;
        const CKrViewParaFileImp imp(record("SourceData", 2, tianHuiGbk));
        for (const CKrViewParaFileImp *o : {&plain, &imp}) {
            const QByteArray tag = o == &plain ? "default_" : "record_";
            const auto row = [&tag](const char *name) -> QTestData & {
                return QTest::newRow((tag + name).constData());
            };
            row("geosysgcd") << o->m_GeoSysGcdFilter << list({"*.txt", "*.grd", "*.gcp"});
            row("img") << o->m_ImgFilter
                       << list({"*.tif", "*.bbi", "*.img", "*.orl", "*.ort", "*.orr", "*.orm"});
            row("dem") << o->m_DemFilter
                       << list({"*.dem", "*.bem", "*.gem", "*.tfw", "*.bil", "*.asc"});
            row("dlg") << o->m_DlgFilter << list({"*.kxm", "*.kxv", "*.xyz", "*.dxf"});
            row("ptcloud") << o->m_PtCloudFilter << list({"*.las", "*.dsm", "*.txt"});
            row("aero") << o->m_AeroPhotoFilter << list({".tif", "*.jpg", "*.kx", "*.raw"});
            row("sat") << o->m_SatPhotoFilter
                       << list({"*.tif", ".raw", "*.xml", "*.txt", "*.raw", "*.kx"});
            row("ads") << o->m_AdsPhotoFilter << list({"*.sup"});
        }
    }
    void filters()
    {
        QFETCH(QStringList, actual);
        QFETCH(QStringList, expected);
        QCOMPARE(actual, expected);
    }

    void sensorType_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray utf8 = QString::fromUtf8("天绘一号").toUtf8();
        QTest::newRow("gbk_tianhui1") << tianHuiGbk << QByteArray("TH");
        QTest::newRow("gbk_ziyuan3") << ziYuanGbk << QByteArray("Z3");
        QTest::newRow("code_kept") << QByteArray("ZY3") << QByteArray("ZY3");
        QTest::newRow("empty_kept") << QByteArray("") << QByteArray("");
        QTest::newRow("utf8_name_kept") << utf8 << utf8;
        QTest::newRow("trailing_blank_kept") << tianHuiGbk + ' ' << tianHuiGbk + ' ';
    }
    void sensorType()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, expected);

        const IMAGE_TYPE_INFO info = record("DEM", 2, name);
        const CKrViewParaFileImp imp(info);
        QCOMPARE(QByteArray::fromStdString(imp.typeInfo().sensorType), expected);
        QCOMPARE(QByteArray::fromStdString(info.sensorType), name);
        QCOMPARE(imp.sensorCodeMap().size(), size_t(2));

        // Without a record there is no table to translate with.
        const CKrViewParaFileImp plain;
        QVERIFY(plain.sensorCodeMap().empty() && plain.typeInfo().sensorType.empty());
        IMAGE_TYPE_INFO other = info;
        plain.translateSensorType(&other);
        QCOMPARE(QByteArray::fromStdString(other.sensorType), name);
    }

    void parseFilter_data()
    {
        QTest::addColumn<QByteArray>("filter");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("empty_pieces_dropped") << QByteArray("a;;b;") << list({"a", "b"});
        QTest::newRow("only_separator") << QByteArray(";") << QStringList();
        QTest::newRow("empty_text") << QByteArray("") << QStringList();
        QTest::newRow("blanks_and_case_kept") << QByteArray(" *.TIF ;x") << list({" *.TIF ", "x"});
        QTest::newRow("null_keeps_list") << QByteArray() << list({"old"});
        QTest::newRow("bytes_kept")
            << QByteArray("*.\xE9;\xCC\xEC") << list({"*.\xE9", "\xCC\xEC"});

        QByteArray longFilter;
        QStringList pieces;
        for (int i = 0; i < 700; ++i) {
            longFilter += "*.e" + QByteArray::number(i) + ';';
            pieces << QStringLiteral("*.e%1").arg(i);
        }
        longFilter += QByteArray(3000, 'a') + ";z";
        pieces << QString(3000, QLatin1Char('a')) << QStringLiteral("z");
        QTest::newRow("long_filter_whole") << longFilter << pieces;
    }
    void parseFilter()
    {
        QFETCH(QByteArray, filter);
        QFETCH(QStringList, expected);

        QStringList result = list({"old"});
        CKrViewParaFileImp::parseFilter(pathOf(filter), &result);
        QCOMPARE(result, expected);
    }

    void isCanShow_data()
    {
        QTest::addColumn<QByteArray>("category");
        QTest::addColumn<int>("imageType");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("isGeoSysGcd");
        QTest::addColumn<int>("expected");

        const auto row = [](const char *name, const char *category, int imageType,
                            const QByteArray &path, bool geo, int expected) {
            QTest::newRow(name) << QByteArray(category) << imageType << path << geo << expected;
        };
        row("aero_jpg", "SourceData", 1, "d:/p/a.jpg", false, 6);
        row("aero_entry_without_asterisk", "SourceData", 1, "a.tif", false, 6);
        row("aero_upper_case", "SourceData", 1, "D:/P/A.KX", false, 6);
        row("aero_k_not_kx", "SourceData", 1, "a.k", false, -1);
        row("aero_sup_other_kind", "SourceData", 1, "a.sup", false, -1);
        row("sat_upper_tif", "SourceData", 2, "D:/img/a.TIF", false, 7);
        row("sat_ti", "SourceData", 2, "a.ti", false, -1);
        row("sat_gbk_directory", "SourceData", 2, "d:/\xCC\xEC/a.xml", false, 7);
        row("ads_sup", "SourceData", 3, "a.sup", false, 8);
        row("ads_su", "SourceData", 3, "a.su", false, -1);
        row("ads_tif", "SourceData", 3, "a.tif", false, -1);
        row("imagetype_0", "SourceData", 0, "a.tif", false, -1);
        row("imagetype_4", "SourceData", 4, "a.tif", false, -1);
        row("imagetype_0_geosysgcd", "SourceData", 0, "a.tif", true, 1);
        row("atwork_aero", "AtWork", 1, "a.jpg", false, 6);
        row("atwork_sat", "AtWork", 2, "a.xml", false, 7);
        row("lowercase_category", "sourcedata", 1, "a.jpg", false, -1);
        row("dem_upper_asc", "DEM", 1, "a.ASC", false, 3);
        row("dem_tif", "DEM", 0, "a.tif", false, -1);
        row("dlg_kxm", "DLG", 0, "a.kxm", false, 4);
        row("dlg_kx_not_kxm", "DLG", 0, "a.kx", false, -1);
        row("dom_txt_point_cloud", "DOM", 0, "a.txt", false, 5);
        row("dom_tif_image", "DOM", 0, "a.tif", false, 2);
        row("dom_dem", "DOM", 0, "a.dem", false, -1);
        row("dom_backslashes", "DOM", 0, "d:\\data\\A.ORM", false, 2);
        row("dom_point_in_directory", "DOM", 0, "d:\\data.tif\\readme", false, -1);
        row("dom_trailing_point", "DOM", 0, "a.", false, -1);
        row("gcp_gcp", "GCP", 0, "a.gcp", false, 1);
        row("gcp_tif", "GCP", 0, "a.tif", false, -1);
        row("empty_category", "", 1, "a.tif", false, -1);
        row("no_suffix", "GCP", 0, "d:/data.old/readme", false, -1);
        row("geosysgcd_no_suffix", "", 0, "d:/data.old/readme", true, 1);
        row("geosysgcd_empty_path", "", 0, "", true, 1);
        row("null_path", "SourceData", 1, QByteArray(), false, -1);
        row("null_path_geosysgcd", "SourceData", 1, QByteArray(), true, -1);
    }
    void isCanShow()
    {
        QFETCH(QByteArray, category);
        QFETCH(int, imageType);
        QFETCH(QByteArray, path);
        QFETCH(bool, isGeoSysGcd);
        QFETCH(int, expected);

        const CKrViewParaFileImp imp(record(category.constData(), imageType));
        QCOMPARE(imp.isCanShow(pathOf(path), isGeoSysGcd), expected);
    }

    void registry_data()
    {
        QTest::addColumn<IMAGE_TYPE_INFO>("info");
        QTest::addColumn<QByteArray>("content"); // the file loaded first
        QTest::addColumn<QByteArray>("op");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QStringList>("model");

        const auto row = [](const char *name, const IMAGE_TYPE_INFO &info, const char *content,
                            const char *op, const QByteArray &path, bool result,
                            const QStringList &model) {
            QTest::newRow(name) << info << QByteArray(content) << QByteArray(op) << path << result
                                << model;
        };
        const IMAGE_TYPE_INFO dom = record("DOM", 0);
        const IMAGE_TYPE_INFO gcp = record("GCP", 0);
        const IMAGE_TYPE_INFO sat = record("SourceData", 2, tianHuiGbk);
        const IMAGE_TYPE_INFO none;
        const char *gcd = "GeoSysGcd\nD:/Old/Ctrl.gcp\n\n";
        const char *img = "IMG\nd:/x/a.tif\n\n";
        const QStringList gcdKept = list({"GeoSysGcd=D:/Old/Ctrl.gcp"});
        const QStringList imgKept = list({"IMG=d:/x/a.tif"});

        // Each code reaches its own member.
        row("add_img_lowercased", dom, "", "add", "D:/Data/A.TIF", true,
            list({"IMG=d:/data/a.tif"}));
        row("add_ptcloud", dom, "", "add", "D:/P/A.TXT", true, list({"PtCloud=d:/p/a.txt"}));
        row("add_dem", record("DEM", 0), "", "add", "D:/A.DEM", true, list({"DEM=d:/a.dem"}));
        row("add_dlg", record("DLG", 0), "", "add", "D:/A.DXF", true, list({"DLG=d:/a.dxf"}));
        row("add_aero", record("AtWork", 1), "", "add", "A.JPG", true, list({"AeroPhoto=a.jpg"}));
        row("add_ads", record("SourceData", 3), "", "add", "A.SUP", true, list({"AdsPhoto=a.sup"}));
        row("add_sat_by_code", sat, "", "add", "D:/img/a.TIF", true,
            list({"SatPhoto[TH]=d:/img/a.tif"}));
        row("add_folds_only_ascii", dom, "", "add", "D:/\xC4\xD6/B.TIF", true,
            list({"IMG=d:/\xC4\xD6/b.tif"}));
        row("add_listed_other_case", dom, img, "add", "D:/X/A.TIF", true, imgKept);
        row("add_sat_listed", sat, "SatPhoto [SensorType = TH]\nd:/img/a.tif\n\n", "add",
            "D:/IMG/A.tif", true, list({"SatPhoto[TH]=d:/img/a.tif"}));
        row("add_beside_ovr", dom, "IMG\nd:/x/a.tif.ovr\n\n", "add", "d:/x/a.tif", true,
            list({"IMG=d:/x/a.tif.ovr", "IMG=d:/x/a.tif"}));
        row("add_not_showable", dom, "", "add", "d:/x/a.dem", false, {});
        row("add_null", dom, "", "add", QByteArray(), false, {});
        row("add_no_kind", record("SourceData", 0), "", "add", "a.tif", false, {});
        row("del_skips_ovr", dom, "IMG\nd:/x/a.tif.ovr\nd:/x/a.tif\n\n", "del", "d:/x/a.tif", true,
            list({"IMG=d:/x/a.tif.ovr"}));
        row("del_capitals_from_file", dom, "IMG\nD:/Data/A.tif\nd:/b.tif\n\n", "del",
            "d:/data/a.tif", true, list({"IMG=d:/b.tif"}));
        row("del_first_of_two", dom, "IMG\nD:/a.tif\nd:/A.tif\n\n", "del", "d:/a.tif", true,
            list({"IMG=d:/A.tif"}));
        row("del_not_listed", dom, img, "del", "d:/x/b.tif", true, imgKept);
        row("del_not_showable", dom, img, "del", "d:/x/a.ti", false, imgKept);
        row("del_null", dom, img, "del", QByteArray(), false, imgKept);
        row("del_sat", sat, "SatPhoto [SensorType = TH]\nD:/Img/A.tif\n\n", "del", "d:/img/a.TIF",
            true, {});
        row("gcp_add_keeps_case", gcp, gcd, "add", "D:/New/A.GCP", true,
            list({"GeoSysGcd=D:/New/A.GCP"}));
        row("gcp_del_other_path_keeps", gcp, gcd, "del", "d:/other/ctrl.gcp", true, gcdKept);
        row("gcp_del_same_path_other_case", gcp, gcd, "del", "d:/old/CTRL.GCP", true, {});
        row("gcp_del_not_showable", gcp, gcd, "del", "d:/old/ctrl.tif", false, gcdKept);
        row("geosysgcd_any_suffix", none, gcd, "addGcd", "d:/Any/File", true,
            list({"GeoSysGcd=d:/Any/File"}));
        row("geosysgcd_empty_path", none, gcd, "addGcd", "", true, {});
        row("geosysgcd_null", none, gcd, "addGcd", QByteArray(), false, gcdKept);
        row("removeparafile_listed", dom, img, "removePara", "d:/x/a.tif", true, imgKept);
        row("removeparafile_null", dom, img, "removePara", QByteArray(), true, imgKept);
    }
    void registry()
    {
        QFETCH(IMAGE_TYPE_INFO, info);
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, op);
        QFETCH(QByteArray, path);
        QFETCH(bool, result);
        QFETCH(QStringList, model);

        CKrViewParaFileImp imp(info);
        if (!content.isEmpty()) {
            QTemporaryDir dir;
            QFile file(dir.filePath(QStringLiteral("view.txt")));
            QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
            file.write(content);
            file.close();
            QVERIFY(imp.load4File(QFile::encodeName(file.fileName()).constData()));
        }

        bool actual = true;
        if (op == "add")
            actual = imp.addViewFile(pathOf(path), false);
        else if (op == "addGcd")
            actual = imp.addViewFile(pathOf(path), true);
        else if (op == "del")
            actual = imp.delViewFile(pathOf(path));
        else
            imp.removeParaFile(pathOf(path));
        QCOMPARE(actual, result);
        QCOMPARE(dump(imp.model()), model);
    }
};

QTEST_GUILESS_MAIN(ViewParaImpTest)
#include "viewparaimptest.moc"
