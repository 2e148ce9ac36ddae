// SPDX-License-Identifier: MIT
// Reading and writing view parameter files: line rules, failures, exact bytes.
#include "viewpara/lmfile.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

// The model as "gcd=<path>", "<keyword>=<path>" and "sat[<type>]=<path>", joined by '|'.
QByteArray summary(const CLMFile &model)
{
    QByteArrayList lines;
    if (!model.m_GeoSysGcd.isEmpty())
        lines << "gcd=" + model.m_GeoSysGcd.toLatin1();
    for (const CLMFile::TypeSection &section : CLMFile::typeSections)
        for (const QString &path : (model.*section.list).paths())
            lines << section.keyword + ('=' + path.toLatin1());
    for (int i = 0; i < model.m_SensorTypeList.size(); ++i)
        for (const QString &path : model.m_SatPhotoLists[size_t(i)]->paths())
            lines << "sat[" + model.m_SensorTypeList.at(i).toLatin1() + "]=" + path.toLatin1();
    return lines.join('|');
}

// Writes @p bytes to the file @p name (raw bytes) in @p dir and gives its path.
QByteArray put(const QTemporaryDir &dir, const char *name, const QByteArray &bytes)
{
    const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
    std::ofstream(path.constData(), std::ios::binary).write(bytes.constData(), bytes.size());
    return path;
}

const QByteArray example = "GeoSysGcd\nd:\\proj\\ctrl\\area.gcp\n\nIMG\nd:\\proj\\dom\\a.tif\nd:\\proj\\dom\\b.tif\n\n"
                           "DEM\nd:\\proj\\dem\\area.dem\n\nSatPhoto [SensorType = Z3]\nd:\\proj\\sat\\scene1.tif\n"
                           "d:\\proj\\sat\\scene2.tif\n\n";

} // namespace

class LMFileFormatTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A null content loads the directory instead.
    void readWrite_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<QByteArray>("written");
        const struct {
            const char *name;
            QByteArray content, model, written = QByteArray(); // null: not checked
        } rows[] = {
            {"worked_example", example,
             "gcd=d:\\proj\\ctrl\\area.gcp|IMG=d:\\proj\\dom\\a.tif|IMG=d:\\proj\\dom\\b.tif|"
             "DEM=d:\\proj\\dem\\area.dem|sat[Z3]=d:\\proj\\sat\\scene1.tif|sat[Z3]=d:\\proj\\sat\\scene2.tif",
             example},
            {"directory_gives_empty_model", QByteArray(), "", ""},
            {"keywords_any_case_gbk", "x\naDSphoto\n\xC4\xE3\xFF\nimg\na\n  Dem more words\nb\nIMG\nA\n",
             "IMG=a|IMG=A|DEM=b|AdsPhoto=\xC4\xE3\xFF", "IMG\na\nA\n\nDEM\nb\n\nAdsPhoto\n\xC4\xE3\xFF\n\n"},
            {"first_word_rules",
             "GeoSysGcd\n\n g.gcp\nh.gcp\nSatPhoto\t[SensorType=Z3] t\na\nGCP\nGCPs\nIMG2 b\nSatPhoto[SensorType",
             "gcd= g.gcp|GCP=GCPs|GCP=IMG2 b|GCP=SatPhoto[SensorType|sat[Z3]=a"},
            {"sat_no_group",
             "IMG\nSatPhoto [sensortype = Z]\na\nSatPhoto\nb\nSatPhoto [SensorType = \nc\nSatPhoto [SensorType Z]\nd",
             "", ""},
            {"sat_trailing_blank_empty_type",
             "satphoto [SensorType = Z3 ]\na\nSatPhoto [SensorType = X]\r\n\r\nSatPhoto [SensorType = ]\nb\n",
             "sat[Z3 ]=a|sat[]=b", "SatPhoto [SensorType = Z3 ]\na\n\nSatPhoto [SensorType = ]\nb\n\n"},
            {"line_ends", QByteArrayLiteral("IMG\r\n a.tif \r\n \t\r\v\f\n\r\nDEM\0junk\r\r\nb\0x\r\nc\rd\n\0e\nf"),
             "IMG= a.tif |DEM=b|DEM=c\rd|DEM=f", "IMG\n a.tif \n\nDEM\nb\nc\rd\nf\n\n"},
        };
        for (const auto &row : rows)
            QTest::newRow(row.name) << row.content << row.model << row.written;
        // A NUL ends a line's text also when the line straddles two read blocks, before or after the boundary.
        for (const int shift : {-8, 2}) {
            const QByteArray text((1 << 20) - 4 + shift, 'a');
            QTest::addRow("nul_in_straddling_line_%d", shift) << "IMG\n" + text + '\0' + QByteArray(20, 'q') + "\nb\n"
                                                              << "IMG=" + text + "|IMG=b" << QByteArray();
        }
        // A NUL that starts a line as the block's last byte: the rest, in the next block, is no line of its own.
        const QByteArray text((1 << 20) - 6, 'a');
        QTest::newRow("nul_starting_line_at_block_end") << "IMG\n" + text + '\n' + '\0' + QByteArray(20, 'q') + "\nb\n"
                                                        << "IMG=" + text + "|IMG=b" << QByteArray();
    }

    // Loaded over another model, saved over a longer file with a GBK (not UTF-8) name, read back.
    void readWrite()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, model);
        QFETCH(QByteArray, written);
        QTemporaryDir dir;
        CLMFile lm, back;
        QVERIFY(lm.load4File(put(dir, "old.lm", example).constData()));
        const QByteArray in = content.isNull() ? QFile::encodeName(dir.path()) : put(dir, "in.lm", content);
        QCOMPARE(lm.load4File(in.constData()), !content.isNull());
        QCOMPARE(summary(lm), model);
        const QByteArray out = put(dir, "\xC4\xE3\xBA\xC3.lm", QByteArray(4096, 'o'));
        // QTemporaryDir cannot remove a name that is not UTF-8.
        const auto removeOut = qScopeGuard([&out] { std::remove(out.constData()); });
        QVERIFY(lm.save2File(out.constData()));
        if (std::ifstream file(out.constData(), std::ios::binary); !written.isNull())
            QCOMPARE(QByteArray::fromStdString({std::istreambuf_iterator<char>(file), {}}), written);
        QVERIFY(back.load4File(out.constData()));
        QCOMPARE(summary(back), model);
    }

    void saveFailure()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        const QByteArray missing = QFile::encodeName(dir.path()) + "/no/v.lm";
        CLMFile lm;
        lm.m_ImgList.append(QStringLiteral("a"));
        QVERIFY(!lm.save2File(nullptr) && !lm.save2File(missing.constData()));
        // The target is a directory: a temporary file may be written but cannot replace it.
        QVERIFY(!lm.save2File((QFile::encodeName(dir.path()) + "/sub").constData()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("sub")});
        QVERIFY(QDir(dir.filePath(QStringLiteral("sub"))).isEmpty());
        QVERIFY(!lm.load4File(missing.constData()) && !lm.load4File(nullptr));
        // A path or sensor type the reader would not give back fails the save; the old file stays.
        const QByteArray kept = put(dir, "kept.lm", example);
        QVERIFY(lm.load4File(kept.constData()));
        const QByteArray before = summary(lm);
        for (const QString &bad : {QStringLiteral("a\nGCP"), QStringLiteral("a\r"), QString(QChar())}) {
            lm.m_GcpList.append(bad);
            QVERIFY(!lm.save2File(kept.constData()) && lm.load4File(kept.constData()));
            lm.m_SensorTypeList[0].prepend(bad);
            QVERIFY(!lm.save2File(kept.constData()) && lm.load4File(kept.constData()));
            QCOMPARE(summary(lm), before);
        }
    }
};

QTEST_GUILESS_MAIN(LMFileFormatTest)
#include "lmfileformattest.moc"
