// SPDX-License-Identifier: MIT
// Reading and writing view parameter files: line rules, failures, exact bytes.
#include "viewpara/lmfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

// The model as "gcd=<path>", "<keyword>=<path>", "sat[<type>]", "sat[<type>]=<path>", joined by
// '|'.
QByteArray summary(const CLMFile &model)
{
    QByteArrayList lines;
    if (!model.m_GeoSysGcd.isEmpty())
        lines << "gcd=" + model.m_GeoSysGcd.toLatin1();
    for (const CLMFile::TypeSection &section : CLMFile::typeSections) {
        for (const QString &path : (model.*section.list).paths())
            lines << section.keyword + ('=' + path.toLatin1());
    }
    for (int i = 0; i < model.m_SensorTypeList.size(); ++i) {
        const QByteArray group = "sat[" + model.m_SensorTypeList.at(i).toLatin1() + ']';
        lines << group;
        for (const QString &path : model.m_SatPhotoLists[size_t(i)]->paths())
            lines << group + '=' + path.toLatin1();
    }
    return lines.join('|');
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Writes @p bytes to @p name in @p dir and gives its native path.
QByteArray put(const QTemporaryDir &dir, const char *name, const QByteArray &bytes)
{
    QFile file(dir.filePath(QLatin1String(name)));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QByteArray();
    return QFile::encodeName(file.fileName());
}

const QByteArray example =
    "GeoSysGcd\nd:\\proj\\ctrl\\area.gcp\n\nIMG\nd:\\proj\\dom\\a.tif\n"
    "d:\\proj\\dom\\b.tif\n\nDEM\nd:\\proj\\dem\\area.dem\n\nSatPhoto "
    "[SensorType = Z3]\nd:\\proj\\sat\\scene1.tif\nd:\\proj\\sat\\scene2.tif\n\n";

} // namespace

class LMFileFormatTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("model");
        const struct {
            const char *name;
            QByteArray content, model;
        } rows[] = {
            {"empty_file", "", ""},
            {"worked_example", example,
             "gcd=d:\\proj\\ctrl\\area.gcp|IMG=d:\\proj\\dom\\a.tif|IMG=d:\\proj\\dom\\b.tif|DEM=d:"
             "\\proj\\dem\\area.dem|sat[Z3]|sat[Z3]=d:\\proj\\sat\\scene1.tif|sat[Z3]=d:\\proj\\sat"
             "\\scene2.tif"},
            {"keywords_any_case", "img\na\nDem\nb\nPTCLOUD\nc\naDSphoto\nd\n",
             "IMG=a|DEM=b|PtCloud=c|AdsPhoto=d"},
            {"header_with_more_words", "  DLG more words\n\tx\n", "DLG=\tx"},
            {"keyword_prefix_is_data", "GCP\nGCPs/a\nIMG2 b\nSatPhoto[SensorType = Z3]\n",
             "GCP=GCPs/a|GCP=IMG2 b|GCP=SatPhoto[SensorType = Z3]"},
            {"blanks_inside_section", "IMG\na\n \t\v\f\r\n\nb \n\n", "IMG=a|IMG=b "},
            {"sections_merge_data_before_dropped", "x\nIMG\na\nDEM\nb\nimg\nA\n",
             "IMG=a|IMG=A|DEM=b"},
            {"geosysgcd_one_line", "GeoSysGcd\n\n g.gcp\nh.gcp\nIMG\ni\n", "gcd= g.gcp|IMG=i"},
            {"sat_no_blanks", "SatPhoto [SensorType=Z3]\na\n", "sat[Z3]|sat[Z3]=a"},
            {"sat_no_group",
             "IMG\nSatPhoto [sensortype = Z3]\na\nSatPhoto\nb\nSatPhoto [SensorType = \nc\n"
             "SatPhoto [SensorType Z3]\nd\n",
             ""},
            {"sat_trailing_blank",
             "satphoto [SensorType = Z3 ]\na\nSatPhoto [SensorType = Z3]\nb\n",
             "sat[Z3 ]|sat[Z3 ]=a|sat[Z3]|sat[Z3]=b"},
            {"sat_empty_type", "SatPhoto [SensorType = ]\na\n", "sat[]|sat[]=a"},
            {"sat_unclosed_and_tail",
             "SatPhoto\t[SensorType = A B\nx\nSatPhoto [SensorType =C] t\ny\n",
             "sat[A B]|sat[A B]=x|sat[C]|sat[C]=y"},
            {"crlf", "IMG\r\n a.tif \r\n\r\nDEM\r\r\nb\r", "IMG= a.tif |DEM=b"},
            {"lone_cr", "IMG\ra\rb\nc\rd\n", "IMG=c\rd"},
            {"nul_ends_line", QByteArray("IMG\na\0b\n\0c\nd", 12), "IMG=a|IMG=d"},
            {"nul_in_header", QByteArray("DEM\0junk\nx\n", 11), "DEM=x"},
            {"no_final_newline", "IMG\nlast", "IMG=last"},
            {"high_bytes", "AeroPhoto\nd:/\xC4\xE3\xBA\xC3/A.TIF\n\xFF\x80\n",
             "AeroPhoto=d:/\xC4\xE3\xBA\xC3/A.TIF|AeroPhoto=\xFF\x80"},
        };
        for (const auto &row : rows)
            QTest::newRow(row.name) << row.content << row.model;
        const QByteArray type(200, 'T'), line = "d:/" + QByteArray(5000, 'x');
        QTest::newRow("sat_long_type") << "SatPhoto [SensorType = " + type + "]\na\n"
                                       << "sat[" + type + "]|sat[" + type + "]=a";
        QTest::newRow("long_line") << "IMG\n" + line + "\n"
                                   << "IMG=" + line;
    }

    void read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, model);
        QTemporaryDir dir;
        CLMFile lm;
        QVERIFY(lm.load4File(put(dir, "view.lm", content).constData()));
        QCOMPARE(summary(lm), model);
    }

    // Lines spanning read blocks, CR LF split across them, and a 10 MB last line.
    void readLargeFile()
    {
        QByteArray content = "IMG\r\n";
        QByteArrayList lines;
        for (int i = 0; content.size() < (3 << 20); ++i) {
            lines << QByteArray::number(i) + QByteArray(i % 97 * 13, 'a');
            content += lines.last() + "\r\n";
        }
        lines << QByteArray(10 << 20, 'z');
        content += lines.last();
        QTemporaryDir dir;
        CLMFile lm;
        QVERIFY(lm.load4File(put(dir, "big.lm", content).constData()));
        QVERIFY(summary(lm) == "IMG=" + lines.join("|IMG="));
    }

    void loadFailure_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("missing") << QByteArray("missing.lm");
        QTest::newRow("directory") << QByteArray(".");
        QTest::newRow("null") << QByteArray();
    }

    void loadFailure()
    {
        QFETCH(QByteArray, name);
        QTemporaryDir dir;
        CLMFile lm;
        QVERIFY(lm.load4File(put(dir, "view.lm", example).constData()));
        const QByteArray path = QFile::encodeName(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(!lm.load4File(name.isNull() ? nullptr : path.constData()));
        QCOMPARE(summary(lm), QByteArray());
    }

    // A file read and written again, replacing a longer one: sections in fixed
    // order, empty groups left out, line ends and blank lines normalised.
    void write_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("worked_example") << example << example;
        QTest::newRow("empty_model") << QByteArray("SatPhoto [SensorType = A]\n") << QByteArray();
        QTest::newRow("section_order")
            << QByteArray("SatPhoto [SensorType = B]\nb\nAdsPhoto\ns\nGCP\nc\ngeosysgcd\ng\n")
            << QByteArray(
                   "GeoSysGcd\ng\n\nGCP\nc\n\nAdsPhoto\ns\n\nSatPhoto [SensorType = B]\nb\n\n");
        QTest::newRow("empty_sensor_type_and_crlf")
            << QByteArray("SatPhoto [SensorType = X]\r\n\r\nSatPhoto [SensorType = ]\r\n x \r\n")
            << QByteArray("SatPhoto [SensorType = ]\n x \n\n");
        QTest::newRow("high_bytes")
            << QByteArray("PtCloud\n\xC4\xE3\xFF") << QByteArray("PtCloud\n\xC4\xE3\xFF\n\n");
    }

    void write()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, written);
        QTemporaryDir dir;
        CLMFile lm;
        QVERIFY(lm.load4File(put(dir, "in.lm", content).constData()));
        const QByteArray path = put(dir, "out.lm", QByteArray(4096, 'o'));
        QVERIFY(lm.save2File(path.constData()));
        QCOMPARE(readAll(QFile::decodeName(path)), written);
        lm.m_DlgList.append(QChar(0x4E2D) + QStringLiteral("\u00E9")); // beyond Latin-1 -> '?'
        QVERIFY(lm.save2File(path.constData()));
        QVERIFY(readAll(QFile::decodeName(path)).contains("DLG\n?\xE9\n\n"));
    }

    void saveFailure()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        CLMFile lm;
        lm.m_ImgList.append(QStringLiteral("a"));
        QVERIFY(!lm.save2File(nullptr));
        QVERIFY(
            !lm.save2File(QFile::encodeName(dir.filePath(QStringLiteral("no/v.lm"))).constData()));
        // The target is a directory: the temporary file is written but cannot replace it.
        QVERIFY(!lm.save2File(QFile::encodeName(dir.filePath(QStringLiteral("sub"))).constData()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("sub")});
        QVERIFY(QDir(dir.filePath(QStringLiteral("sub"))).isEmpty());
    }

    // A name that is not valid UTF-8 reaches the file system with its own bytes.
    void gbkFileName()
    {
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.path()) + "/\xC4\xE3\xBA\xC3.lm";
        CLMFile lm;
        QVERIFY(lm.load4File(put(dir, "view.lm", example).constData()));
        QVERIFY(lm.save2File(path.constData()));
        struct stat info {};
        QCOMPARE(::stat(path.constData(), &info), 0);
        CLMFile back;
        QVERIFY(back.load4File(path.constData()));
        QCOMPARE(summary(back), summary(lm));
    }
};

QTEST_GUILESS_MAIN(LMFileFormatTest)
#include "lmfileformattest.moc"
