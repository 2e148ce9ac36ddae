// SPDX-License-Identifier: MIT
// Adding many photographs to one view parameter file through the facade. A
// lookup per add that scans the list makes a batch quadratic; the index
// beside each list keeps it linear, so 100k adds should cost about ten
// times 10k adds (see the BigO line of the output).

#include <CKrLumoParaFile.h>

#include <QString>

#include <benchmark/benchmark.h>

#include <memory>
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

} // namespace
