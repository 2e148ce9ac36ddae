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

const QString keywords = QStringLiteral("GeoSysGcd|IMG|DEM|DLG|PtCloud|GCP|AeroPhoto|AdsPhoto|SatPhoto");
// Blank paths, paths whose first word is a keyword, paths holding a line end.
const QRegularExpression lossyPath(QStringLiteral("^[ \\t-\\r]*((%1)([ \\t-\\r]|$)|$)|[\\n\\r]").arg(keywords),
                                   QRegularExpression::CaseInsensitiveOption);
// Sensor types with leading white space or holding "]" or a line end.
const QRegularExpression lossyType(QStringLiteral("^[ \\t-\\r]|[]\\n\\r]"));
std::mt19937 generator(20240611);
const auto pick = [](int n) { return std::uniform_int_distribution<int>(0, n - 1)(generator); };

// Any byte but NUL (half of them high Latin-1 / GBK bytes) or a separator, sometimes after a keyword so that near
// misses such as "IMGx" occur; drawn again until @p lossy does not match.
QString randomText(int maxLength, const QRegularExpression &lossy)
{
    QString s;
    do {
        s = pick(4) ? QString() : keywords.split(QLatin1Char('|')).at(pick(9));
        for (int n = pick(maxLength + 1); n > 0; --n)
            s += pick(2) ? QChar(1 + pick(0xFF)) : QLatin1String(" \t\\/.").at(pick(5));
    } while (s.contains(lossy));
    return s;
}

// The model as text; satellite groups without paths are not written, so they are left out.
QString dump(const CLMFile &model)
{
    QStringList lists{model.m_GeoSysGcd};
    for (const CLMFile::TypeSection &section : CLMFile::typeSections)
        lists << (model.*section.list).paths().join(QLatin1Char('\n'));
    for (int i = 0; i < model.m_SensorTypeList.size(); ++i)
        if (!model.m_SatPhotoLists[size_t(i)]->isEmpty())
            lists << model.m_SensorTypeList.at(i) << model.m_SatPhotoLists[size_t(i)]->paths().join(QLatin1Char('\n'));
    return lists.join(QChar());
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
            CLMFile model, back;
            model.m_GeoSysGcd = pick(2) ? randomText(40, lossyPath) : QString();
            for (const CLMFile::TypeSection &section : CLMFile::typeSections)
                for (int n = pick(3) * pick(4); n > 0; --n)
                    (model.*section.list).append(randomText(40, lossyPath));
            for (int groups = pick(4); groups > 0; --groups) {
                CLMFile::PathList *group = model.getSatPhotoList(pick(3) ? randomText(8, lossyType) : QString());
                for (int n = pick(4); n > 0; --n)
                    group->append(randomText(40, lossyPath));
            }
            QVERIFY(model.save2File(file.constData()) && back.load4File(file.constData()));
            QCOMPARE(dump(back), dump(model));
        }
    }
};

QTEST_GUILESS_MAIN(LMFileRoundTripTest)
#include "lmfileroundtriptest.moc"
