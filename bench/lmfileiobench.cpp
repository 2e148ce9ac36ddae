// SPDX-License-Identifier: MIT
// Reading and writing a view parameter file of a million paths, each against
// what a plain Qt program would do with the same file:
//  - load4File against a QFile::readLine loop into a QStringList; the model
//    should need at most half the baseline's time;
//  - save2File against writing the same lines one write() each through
//    QSaveFile; the model should be no slower.

#include "viewpara/lmfile.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <iterator>
#include <memory>

namespace {

constexpr int pathCount = 1000000;

// A section of the sample file: its header and a printf pattern for its
// paths, which takes a folder number and the path's own number.
struct SectionPlan {
    const char *header;
    const char *pattern;
    int count;
};

// Realistic names of 40 to 60 bytes; the counts add up to pathCount.
const SectionPlan samplePlan[] = {
    {"GeoSysGcd", "d:\\survey2019\\control\\block%02d_area_%d.gcp", 1},
    {"IMG", "D:\\Survey2019\\DOM\\Sheet%03d\\dom_%06d.tif", 100000},
    {"DEM", "D:\\Survey2019\\DEM\\Tiles\\Row%03d\\dem_%06d.dem", 49999},
    {"AeroPhoto", "D:\\Survey2019\\Project_Northern_Hills\\Strip%03d\\IMG_%07d.jpg", 500000},
    {"SatPhoto [SensorType = ZY3]", "E:\\Satellite\\ZY3\\Orbit%05d\\ZY3_NAD_%07d.tif", 200000},
    {"SatPhoto [SensorType = GF1]", "E:\\Satellite\\GF1\\Scene%05d\\GF1_PMS1_%07d.tiff", 150000},
};

QByteArray samplePath(const SectionPlan &section, int i)
{
    return QString::asprintf(section.pattern, i / 1000, i).toLatin1();
}

// The sample file, written once per process in exactly the form save2File
// writes (header, paths, a blank line per section), so that saving the loaded
// model reproduces it byte for byte and both writers write the same bytes.
class SampleFile
{
public:
    static const SampleFile &instance()
    {
        static const SampleFile file;
        return file;
    }

    bool isValid() const { return m_valid; }
    const QString &fileName() const { return m_fileName; }
    const QByteArray &nativeName() const { return m_nativeName; }
    const QByteArray &content() const { return m_content; }
    /** The file's lines, each with its line feed. */
    const QList<QByteArray> &lines() const { return m_lines; }
    QString filePath(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private:
    SampleFile()
    {
        m_lines.reserve(pathCount + 3 * int(std::size(samplePlan)));
        for (const SectionPlan &section : samplePlan) {
            m_lines.append(QByteArray(section.header) + '\n');
            for (int i = 0; i < section.count; ++i)
                m_lines.append(samplePath(section, i) + '\n');
            m_lines.append(QByteArray(1, '\n'));
        }
        for (const QByteArray &line : qAsConst(m_lines))
            m_content += line;

        m_fileName = filePath("sample.vpf");
        m_nativeName = QFile::encodeName(m_fileName);
        QFile file(m_fileName);
        m_valid = m_dir.isValid() && file.open(QIODevice::WriteOnly) && file.write(m_content) == m_content.size() &&
                  file.flush();
    }

    QTemporaryDir m_dir;
    QString m_fileName;
    QByteArray m_nativeName;
    QByteArray m_content;
    QList<QByteArray> m_lines;
    bool m_valid = false;
};

int pathsIn(const CLMFile &model)
{
    int count = model.m_GeoSysGcd.isEmpty() ? 0 : 1;
    for (const CLMFile::TypeSection &section : CLMFile::typeSections)
        count += (model.*section.list).size();
    for (const auto &group : model.m_SatPhotoLists)
        count += group->size();
    return count;
}

QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void BM_LoadModel(benchmark::State &state)
{
    const SampleFile &sample = SampleFile::instance();
    if (!sample.isValid()) {
        state.SkipWithError("cannot write the sample file");
        return;
    }
    {
        // Also warms the page cache, as the baseline finds it.
        CLMFile check;
        if (!check.load4File(sample.nativeName().constData()) || pathsIn(check) != pathCount) {
            state.SkipWithError("load4File does not read the sample file whole");
            return;
        }
    }

    for (auto _ : state) {
        state.PauseTiming();
        auto model = std::make_unique<CLMFile>();
        state.ResumeTiming();

        benchmark::DoNotOptimize(model->load4File(sample.nativeName().constData()));

        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * sample.content().size());
}
BENCHMARK(BM_LoadModel)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadQFileReadLine(benchmark::State &state)
{
    const SampleFile &sample = SampleFile::instance();
    if (!sample.isValid()) {
        state.SkipWithError("cannot write the sample file");
        return;
    }

    for (auto _ : state) {
        state.PauseTiming();
        auto lines = std::make_unique<QStringList>();
        state.ResumeTiming();

        QFile file(sample.fileName());
        benchmark::DoNotOptimize(file.open(QIODevice::ReadOnly));
        while (!file.atEnd()) {
            QByteArray line = file.readLine();
            if (line.endsWith('\n'))
                line.chop(1);
            lines->append(QString::fromLatin1(line));
        }
        benchmark::DoNotOptimize(lines->size());

        state.PauseTiming();
        lines.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * sample.content().size());
}
BENCHMARK(BM_LoadQFileReadLine)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveModel(benchmark::State &state)
{
    const SampleFile &sample = SampleFile::instance();
    if (!sample.isValid()) {
        state.SkipWithError("cannot write the sample file");
        return;
    }
    CLMFile model;
    const QString target = sample.filePath("saved-by-model.vpf");
    const QByteArray nativeTarget = QFile::encodeName(target);
    if (!model.load4File(sample.nativeName().constData()) || pathsIn(model) != pathCount ||
        !model.save2File(nativeTarget.constData()) || readAll(target) != sample.content()) {
        // Otherwise the two writers would not write the same bytes.
        state.SkipWithError("saving the loaded sample does not reproduce it");
        return;
    }

    for (auto _ : state)
        benchmark::DoNotOptimize(model.save2File(nativeTarget.constData()));

    state.SetBytesProcessed(state.iterations() * sample.content().size());
}
BENCHMARK(BM_SaveModel)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveQSaveFileLineByLine(benchmark::State &state)
{
    const SampleFile &sample = SampleFile::instance();
    if (!sample.isValid()) {
        state.SkipWithError("cannot write the sample file");
        return;
    }
    const QString target = sample.filePath("saved-by-qsavefile.vpf");

    for (auto _ : state) {
        QSaveFile file(target);
        benchmark::DoNotOptimize(file.open(QIODevice::WriteOnly));
        for (const QByteArray &line : sample.lines())
            file.write(line);
        benchmark::DoNotOptimize(file.commit());
    }
    state.SetBytesProcessed(state.iterations() * sample.content().size());
}
BENCHMARK(BM_SaveQSaveFileLineByLine)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
