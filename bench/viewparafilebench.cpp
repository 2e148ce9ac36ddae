// SPDX-License-Identifier: MIT
// Editing and loading view parameter files through the facade, at sizes where
// a scan per operation would make a batch quadratic:
//  - adding many photographs, deleting them in random order, and a mix of
//    adds and deletes: each should cost about ten times more for ten times
//    the photographs (see the BigO lines of the output); 100,000 random
//    deletes should take well under a second;
//  - loading a file of many satellite groups, each found or created by its
//    sensor type: 160,000 groups should load well under a second.

#include <CKrLumoParaFile.h>

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// Distinct aerial photographs, Windows style and in capitals as a host hands
// them over, 40 to 60 bytes long.
std::vector<std::string> aerialPaths(int count)
{
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const QString path = QString::asprintf("D:\\Survey2019\\Block%02d\\Strip%03d\\%sIMG_%07d.JPG", i % 23, i % 197,
                                               (i % 3 == 0) ? "Raw\\" : "", i);
        paths.push_back(path.toLatin1().toStdString());
    }
    return paths;
}

IMAGE_TYPE_INFO aerialRecord()
{
    IMAGE_TYPE_INFO info;
    info.imageType = 1; // aerial: ".jpg" is showable and goes to the AeroPhoto list
    return info;
}

void BM_AddViewFile(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> paths = aerialPaths(count);
    {
        CKrLumoParaFile probe(aerialRecord());
        if (probe.isCanShow(paths.front().c_str()) != 6) {
            state.SkipWithError("an aerial .JPG is not showable: the batch would measure nothing");
            return;
        }
    }

    for (auto _ : state) {
        state.PauseTiming();
        auto file = std::make_unique<CKrLumoParaFile>(aerialRecord());
        state.ResumeTiming();

        for (const std::string &path : paths)
            benchmark::DoNotOptimize(file->addViewFile(path.c_str(), false));

        state.PauseTiming();
        file.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.SetComplexityN(count);
}
BENCHMARK(BM_AddViewFile)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// A file of @p count photographs, deleted in random order.
void BM_DelViewFileRandom(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> paths = aerialPaths(count);
    std::vector<std::string> order = paths;
    std::shuffle(order.begin(), order.end(), std::mt19937(42));

    for (auto _ : state) {
        state.PauseTiming();
        auto file = std::make_unique<CKrLumoParaFile>(aerialRecord());
        for (const std::string &path : paths)
            file->addViewFile(path.c_str(), false);
        state.ResumeTiming();

        for (const std::string &path : order)
            benchmark::DoNotOptimize(file->delViewFile(path.c_str()));

        state.PauseTiming();
        file.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.SetComplexityN(count);
}
BENCHMARK(BM_DelViewFileRandom)
    ->Arg(10000)
    ->Arg(30000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// @p count rounds on a growing file: add a new photograph, then delete one
// picked at random among all added so far (listed or deleted already).
void BM_MixedAddDelete(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> paths = aerialPaths(count);
    std::vector<int> victims(static_cast<std::size_t>(count));
    std::mt19937 generator(7);
    for (int i = 0; i < count; ++i)
        victims[static_cast<std::size_t>(i)] = std::uniform_int_distribution<int>(0, i)(generator);

    for (auto _ : state) {
        state.PauseTiming();
        auto file = std::make_unique<CKrLumoParaFile>(aerialRecord());
        state.ResumeTiming();

        for (int i = 0; i < count; ++i) {
            benchmark::DoNotOptimize(file->addViewFile(paths[static_cast<std::size_t>(i)].c_str(), false));
            const std::string &victim = paths[static_cast<std::size_t>(victims[static_cast<std::size_t>(i)])];
            benchmark::DoNotOptimize(file->delViewFile(victim.c_str()));
        }

        state.PauseTiming();
        file.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.SetComplexityN(count);
}
BENCHMARK(BM_MixedAddDelete)
    ->Arg(10000)
    ->Arg(30000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// A file of @p count satellite groups of one scene each, loaded into a facade.
void BM_LoadSatelliteGroups(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("groups.view")));
    {
        std::ofstream out(path.constData(), std::ios::binary);
        for (int i = 0; i < count; ++i)
            out << QString::asprintf("SatPhoto [SensorType = ZY3-%07d]\nE:\\Sat\\scene_%07d.tif\n\n", i, i)
                       .toLatin1()
                       .constData();
    }
    CKrLumoParaFile file(aerialRecord());
    for (auto _ : state) {
        if (!file.load4File(path.constData())) {
            state.SkipWithError("cannot load the sample file");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.SetComplexityN(count);
}
BENCHMARK(BM_LoadSatelliteGroups)
    ->Arg(10000)
    ->Arg(40000)
    ->Arg(160000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

} // namespace
