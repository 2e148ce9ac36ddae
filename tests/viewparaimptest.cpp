// SPDX-License-Identifier: MIT
// CKrViewParaFileImp: the catalogue, the show test and the registry on the model.
#include "viewpara/viewparafileimp.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(IMAGE_TYPE_INFO)

class ViewParaImpTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The catalogue's filter lists and the splitting behind them.
    void lists_data()
    {
        QTest::addColumn<QStringList>("actual");
        QTest::addColumn<QString>("expected"); // the entries, separated by blanks
        QStringList pieces{QStringLiteral("old")}, separator = pieces, null = pieces;
        CKrViewParaFileImp::parseFilter("a;;b;", &pieces);
        CKrViewParaFileImp::parseFilter(";", &separator);
        CKrViewParaFileImp::parseFilter(nullptr, &null);
        const CKrViewParaFileImp imp;
        QTest::newRow("geosysgcd") << imp.m_GeoSysGcdFilter << QStringLiteral("*.txt *.grd *.gcp");
        QTest::newRow("img") << imp.m_ImgFilter << QStringLiteral("*.tif *.bbi *.img *.orl *.ort *.orr *.orm");
        QTest::newRow("dem") << imp.m_DemFilter << QStringLiteral("*.dem *.bem *.gem *.tfw *.bil *.asc");
        QTest::newRow("dlg") << imp.m_DlgFilter << QStringLiteral("*.kxm *.kxv *.xyz *.dxf");
        QTest::newRow("ptcloud") << imp.m_PtCloudFilter << QStringLiteral("*.las *.dsm *.txt");
        QTest::newRow("aero") << imp.m_AeroPhotoFilter << QStringLiteral(".tif *.jpg *.kx *.raw");
        QTest::newRow("sat") << imp.m_SatPhotoFilter << QStringLiteral("*.tif .raw *.xml *.txt *.raw *.kx");
        QTest::newRow("ads") << imp.m_AdsPhotoFilter << QStringLiteral("*.sup");
        QTest::newRow("parse_empty_pieces_dropped") << pieces << QStringLiteral("a b");
        QTest::newRow("parse_only_separator") << separator << QString();
        QTest::newRow("parse_null_keeps_list") << null << QStringLiteral("old");
    }
    void lists()
    {
        QFETCH(QStringList, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    }

    // op: '+' add, '*' add as the GeoSysGcd file, '-' delete, '~' removeParaFile, then the
    // path ("(null)" for none). code: isCanShow of the path. saved: the file written afterwards.
    void registry_data()
    {
        QTest::addColumn<IMAGE_TYPE_INFO>("info");
        QTest::addColumn<QByteArray>("content"); // the file loaded first
        QTest::addColumn<QByteArray>("op");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("saved");
        const auto row = [](const char *name, const IMAGE_TYPE_INFO &info, const char *content, const char *op,
                            int code, const QByteArray &saved) {
            QTest::newRow(name) << info << QByteArray(content) << QByteArray(op) << code << saved;
        };
        // TianHui-1 and ZiYuan-3 in GBK; TianHui-1 in UTF-8.
        const char th[] = "\xCC\xEC\xBB\xE6\xD2\xBB\xBA\xC5", zy[] = "\xD7\xCA\xD4\xB4\xC8\xFD\xBA\xC5";
        const char u8[] = "\xE5\xA4\xA9\xE7\xBB\x98\xE4\xB8\x80\xE5\x8F\xB7";
        const IMAGE_TYPE_INFO aero{"", 1, "SourceData"}, sat{th, 2, "SourceData"}, ads{"", 3, "SourceData"};
        const IMAGE_TYPE_INFO dom{"", 0, "DOM"}, dlg{"", 0, "DLG"}, gcp{"", 0, "GCP"};
        const char *gcd = "GeoSysGcd\nD:/Old/Ctrl.gcp\n\n", *img = "IMG\nd:/x/a.tif\n\n";
        row("aero_entry_without_asterisk", aero, "", "+a.tif", 6, "AeroPhoto\na.tif\n\n");
        row("sat_tianhui1_code", sat, "", "+D:/A.TIF", 7, "SatPhoto [SensorType = TH]\nD:/A.TIF\n\n");
        row("atwork_sat_ziyuan3_code", {zy, 2, "AtWork"}, "", "+a.xml", 7, "SatPhoto [SensorType = Z3]\na.xml\n\n");
        row("sat_utf8_name_kept", {u8, 2, "SourceData"}, "", "+a.xml", 7,
            "SatPhoto [SensorType = " + QByteArray(u8) + "]\na.xml\n\n");
        row("ads_sup", ads, "", "+A.SUP", 8, "AdsPhoto\nA.SUP\n\n");
        row("imagetype_4", {"", 4, "SourceData"}, "", "+a.tif", -1, "");
        row("lowercase_category", {"", 1, "sourcedata"}, "", "+a.jpg", -1, "");
        row("empty_category", {"", 1, ""}, "", "+a.tif", -1, "");
        row("dem_upper", {"", 0, "DEM"}, "", "+D:/A.ASC", 3, "DEM\nD:/A.ASC\n\n");
        row("dlg_kxm", dlg, "", "+a.kxm", 4, "DLG\na.kxm\n\n");
        row("dom_txt_point_cloud", dom, "", "+D:/P/A.TXT", 5, "PtCloud\nD:/P/A.TXT\n\n");
        row("dom_tif_image", dom, "", "+D:/P/A.TIF", 2, "IMG\nD:/P/A.TIF\n\n");
        row("no_suffix_dotted_dir", gcp, "", "+d:/data.old/readme", -1, "");
        row("no_suffix_name_alone", gcp, "", "+gcp", -1, "");
        row("gcp_add_keeps_case", gcp, gcd, "+D:/New/A.GCP", 1, "GeoSysGcd\nD:/New/A.GCP\n\n");
        row("gcp_del_other_path_keeps", gcp, gcd, "-d:/other/ctrl.gcp", 1, gcd);
        row("gcp_del_same_path", gcp, gcd, "-D:/Old/Ctrl.gcp", 1, "");
        row("gcp_del_other_case_keeps", gcp, gcd, "-d:/old/ctrl.gcp", 1, gcd);
        row("gcp_line_break", gcp, gcd, "*d:/new.gcp\r", -1, gcd);
        row("geosysgcd_empty_path", {}, "", "*", 1, "");
        row("null_path", aero, gcd, "*(null)", -1, gcd);
        row("del_not_listed", dom, img, "-d:/x/b.tif", 2, img);
        row("del_not_showable", dom, img, "-d:/x/a.ti", -1, img);
        row("del_line_break", dom, img, "-d:/x/\na.tif", -1, img);
        row("add_line_break", dom, "", "+d:/x\nGeoSysGcd\nd:/other.tif", -1, "");
        row("removeparafile_no_effect", dom, img, "~d:/x/a.tif", 2, img);
    }
    void registry()
    {
        QFETCH(IMAGE_TYPE_INFO, info);
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, op);
        QFETCH(int, code);
        QFETCH(QByteArray, saved);

        const std::string sensor = info.sensorType;
        CKrViewParaFileImp imp(info);
        QCOMPARE(info.sensorType, sensor); // the caller's record is not translated
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("view.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        const QByteArray name = QFile::encodeName(file.fileName());
        QVERIFY(imp.load4File(name.constData()));

        const char *path = op.mid(1) == "(null)" ? nullptr : op.constData() + 1;
        QCOMPARE(imp.isCanShow(path, op[0] == '*'), code);
        const bool result = op[0] == '-'   ? imp.delViewFile(path)
                            : op[0] == '~' ? (imp.removeParaFile(path), true) // has no effect
                                           : imp.addViewFile(path, op[0] == '*');
        QCOMPARE(result, code > 0);
        QVERIFY(imp.save2File(name.constData()) && file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), saved);
    }
};

QTEST_GUILESS_MAIN(ViewParaImpTest)
#include "viewparaimptest.moc"
