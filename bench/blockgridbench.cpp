// SPDX-License-Identifier: MIT
// Dividing a survey area into a grid of 1000 x 1000 blocks.

#include <CKrCommon.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using Grid = std::vector<std::vector<float>>;

constexpr int gridSide = 1000;
constexpr float blockSize = 250.0f;
constexpr float areaSide = gridSide * blockSize; // starts on a grid line: no extra block

void BM_CalBlock(benchmark::State &state)
{
    CKrCommon &common = CKrCommon::GetSingleTon();
    {
        Grid check;
        common.calBlock(check, 0, 0, areaSide, areaSide, blockSize, blockSize);
        if (check.size() != gridSide || check.back().size() != 2 * gridSide) {
            state.SkipWithError("calBlock does not give a 1000 x 1000 grid");
            return;
        }
    }

    for (auto _ : state) {
        state.PauseTiming();
        auto rows = std::make_unique<Grid>();
        state.ResumeTiming();

        common.calBlock(*rows, 0, 0, areaSide, areaSide, blockSize, blockSize);
        benchmark::DoNotOptimize(rows->data());

        state.PauseTiming();
        rows.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * gridSide * gridSide);
}
BENCHMARK(BM_CalBlock)->Unit(benchmark::kMillisecond);

} // namespace
