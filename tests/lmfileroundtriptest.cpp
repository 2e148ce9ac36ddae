// SPDX-License-Identifier: MIT
// Random models written and read back must come back unchanged, apart from
// the paths and sensor types the line format cannot carry.
#include "viewpara/lmfile.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <random>

namespace {

const QStringList keywords = QStringLiteral("GeoSysGcd IMG DEM DLG PtCloud GCP AeroPhoto AdsPhoto "
                                            "SatPhoto")
                                 .split(QLatin1Char(' '));
// Blank paths, paths whose first word is a keyword, paths holding a line end.
const QRegularExpression lossyPath(QStringLiteral("^\\s*$|^\\s*(%1)(\\s|$)|[\\n\\r]")
                                       .arg(keywords.join(QLatin1Char('|')))
                                       .replace(QStringLiteral("\\s"),
                                                QStringLiteral("[ \\t-\\r]")),
                                   QRegularExpression::CaseInsensitiveOption);
// Sensor types with leading white space or holding "]" or a line end.
const QRegularExpression lossyType(QStringLiteral("^[ \\t-\\r]|[]\\n\\r]"));

std::mt19937 generator(20240611);

int pick(int n)
{
    return std::uniform_int_distribution<int>(0, n - 1)(generator);
}

// Any byte but NUL, weighted towards separators and high Latin-1 / GBK bytes,
// sometimes after a keyword so that near misses such as "IMGx" occur; drawn
// again until @p lossy does not match.
QString randomText(int maxLength, const QRegularExpression &lossy)
{
    QString s;
    do {
        s = pick(4) == 0 ? keywords.at(pick(keywords.size())) : QString();
        for (int n = pick(maxLength + 1); n > 0; --n) {
            const int kind = pick(4);
            s += kind == 0   ? QChar(0x80 + pick(0x80))
                 : kind == 1 ? QLatin1String(" \t\\/.").at(pick(5))
                             : QChar(1 + pick(0xFF));
        }
    } while (s.contains(lossy));
    return s;
}

} // namespace

class LMFileRoundTripTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void randomModels()
    {
        QTemporaryDir dir;
        const QByteArray file = QFile::encodeName(dir.filePath(QStringLiteral("view.lm")));
        for (int round = 0; round < 300; ++round) {
            CLMFile model;
            if (pick(2))
                model.m_GeoSysGcd = randomText(40, lossyPath);
            for (const CLMFile::TypeSection &section : CLMFile::typeSections) {
                for (int n = pick(3) * pick(4); n > 0; --n)
                    (model.*section.list).append(randomText(40, lossyPath));
            }
            for (int groups = pick(4); groups > 0; --groups) {
                CLMFile::PathList *group =
                    model.getSatPhotoList(pick(3) ? randomText(8, lossyType) : QString());
                for (int n = pick(4); n > 0; --n)
                    group->append(randomText(40, lossyPath));
            }
            QStringList types; // of the non-empty groups, the only ones written
            for (int i = 0; i < model.m_SensorTypeList.size(); ++i) {
                if (!model.m_SatPhotoLists[size_t(i)]->isEmpty())
                    types << model.m_SensorTypeList.at(i);
            }

            QVERIFY(model.save2File(file.constData()));
            CLMFile back;
            QVERIFY(back.load4File(file.constData()));
            QCOMPARE(back.m_GeoSysGcd, model.m_GeoSysGcd);
            for (const CLMFile::TypeSection &section : CLMFile::typeSections)
                QCOMPARE((back.*section.list).paths(), (model.*section.list).paths());
            QCOMPARE(back.m_SensorTypeList, types);
            for (int i = 0; i < types.size(); ++i)
                QCOMPARE(back.m_SatPhotoLists[size_t(i)]->paths(),
                         model.getSatPhotoList(types.at(i))->paths());
        }
    }
};

QTEST_GUILESS_MAIN(LMFileRoundTripTest)
#include "lmfileroundtriptest.moc"
