// SPDX-License-Identifier: MIT
// Relating map sheets to blocks: CKrCommon::blockUserRelation beside the
// plain loop over all pairs, on survey grids and on layouts that defeat
// simple spatial indexes. Arguments are the side of the block grid (side x
// side blocks of 1000 x 1000).

#include <CKrCommon.h>

#include <benchmark/benchmark.h>

#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr float cell = 1000.0f;
constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float nan = std::numeric_limits<float>::quiet_NaN();

enum class Kind {
    OffsetGrid,      // sheets on a grid offset by half a cell: four sheets per block
    SharedLines,     // sheets on the blocks' own grid lines: one sheet per block
    HugeSheet,       // the offset grid and one sheet over everything
    PiledOnOneSpot,  // every sheet the same small square inside one block
    PiledNearMiss,   // sheets piled on one spot, blocks piled beside it, one block far off
    OnePoint,        // every sheet shrunk to one point: no area, no relation
    DegenerateLines, // every sheet of zero width across the blocks
    NanAndInfinite,  // a third NaN, a third strips from -inf to inf above all blocks
    TinySheets,      // side x side sheets of 1 x 1 against four big blocks
};

SheetScope sheet(float left, float bottom, float right, float top, int id)
{
    SheetScope s;
    s.left = left;
    s.right = right;
    s.top = top;
    s.bottom = bottom;
    s.id = id;
    return s;
}

Block block(float x1, float y1, float x2, float y2)
{
    Block b;
    b.x1 = x1;
    b.y1 = y1;
    b.x2 = x2;
    b.y2 = y2;
    return b;
}

struct Layout {
    std::vector<SheetScope> sheets;
    std::vector<Block> blocks;
};

Layout makeLayout(Kind kind, int side)
{
    Layout layout;
    const float extent = side * cell;
    if (kind == Kind::TinySheets) {
        const float half = extent / 2;
        for (float x : {0.0f, half})
            for (float y : {0.0f, half})
                layout.blocks.push_back(block(x, y, x + half, y + half));
        for (int i = 0; i < side * side; ++i) {
            const float x = (i % side) * (extent / side) + 0.25f, y = (i / side) * (extent / side) + 0.25f;
            layout.sheets.push_back(sheet(x, y, x + 1, y + 1, i));
        }
        return layout;
    }
    if (kind == Kind::PiledNearMiss) {
        for (int i = 0; i < side * side; ++i) {
            layout.sheets.push_back(sheet(10, 10, 20, 20, i));
            layout.blocks.push_back(block(10, 20, 20, 30));
        }
        layout.blocks.push_back(block(1e7f, 1e7f, 1e7f + cell, 1e7f + cell));
        return layout;
    }

    for (int row = 0; row < side; ++row) {
        for (int col = 0; col < side; ++col) {
            const int id = row * side + col;
            const float x = col * cell, y = row * cell;
            layout.blocks.push_back(block(x, y, x + cell, y + cell));
            const float o = kind == Kind::SharedLines ? 0.0f : cell / 2;
            SheetScope s = sheet(x + o, y + o, x + o + cell, y + o + cell, id);
            switch (kind) {
            case Kind::PiledOnOneSpot:
                s = sheet(100, 100, 200, 200, id);
                break;
            case Kind::OnePoint:
                s = sheet(500, 500, 500, 500, id);
                break;
            case Kind::DegenerateLines:
                s.right = s.left;
                s.top = s.bottom + extent;
                break;
            case Kind::NanAndInfinite:
                if (id % 3 == 0)
                    s.left = nan;
                else if (id % 3 == 1)
                    s = sheet(-inf, extent + 1, inf, inf, id);
                break;
            default:
                break;
            }
            layout.sheets.push_back(s);
        }
    }
    if (kind == Kind::HugeSheet)
        layout.sheets.push_back(sheet(-1e9f, -1e9f, 1e9f, 1e9f, -1));
    return layout;
}

std::size_t relationCount(const std::vector<Block> &blocks)
{
    std::size_t count = 0;
    for (const Block &b : blocks)
        count += b.sheetIds.size();
    return count;
}

template<typename Relate>
void run(benchmark::State &state, Kind kind, Relate relate)
{
    const Layout layout = makeLayout(kind, int(state.range(0)));
    std::size_t relations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto blocks = std::make_unique<std::vector<Block>>(layout.blocks);
        state.ResumeTiming();

        relate(layout.sheets, *blocks);

        state.PauseTiming();
        relations = relationCount(*blocks);
        blocks.reset();
        // Freeing 10^5 sets leaves glibc's allocator a consolidation to do at
        // the next large allocation; let it happen here, not in the next run.
        benchmark::DoNotOptimize(std::make_unique<char[]>(1 << 20).get());
        state.ResumeTiming();
    }
    state.counters["sheets"] = double(layout.sheets.size());
    state.counters["blocks"] = double(layout.blocks.size());
    state.counters["relations"] = double(relations);
}

void BM_Indexed(benchmark::State &state, Kind kind)
{
    run(state, kind, [](const std::vector<SheetScope> &sheets, std::vector<Block> &blocks) {
        CKrCommon::GetSingleTon().blockUserRelation(sheets, blocks);
    });
}

// The loop the index replaces: every block against every sheet.
void BM_AllPairs(benchmark::State &state, Kind kind)
{
    run(state, kind, [](const std::vector<SheetScope> &sheets, std::vector<Block> &blocks) {
        for (Block &b : blocks)
            for (const SheetScope &s : sheets)
                b.relateSheet(s);
    });
}

// The floor: inserting the offset grid's four ids per block, known beforehand.
void BM_InsertOnly(benchmark::State &state)
{
    run(state, Kind::OffsetGrid,
        [side = int(state.range(0))](const std::vector<SheetScope> &, std::vector<Block> &blocks) {
            for (int row = 0; row < side; ++row)
                for (int col = 0; col < side; ++col)
                    for (int id :
                         {(row - 1) * side + col - 1, (row - 1) * side + col, row * side + col - 1, row * side + col})
                        if (id >= 0 && id % side <= col)
                            blocks[std::size_t(row * side + col)].sheetIds.insert(id);
        });
}
BENCHMARK(BM_InsertOnly)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_Indexed, offset_grid, Kind::OffsetGrid)
    ->Arg(30)
    ->Arg(100)
    ->Arg(300)
    ->Arg(600)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AllPairs, offset_grid, Kind::OffsetGrid)->Arg(30)->Arg(100)->Unit(benchmark::kMillisecond);
// 90k x 90k pairs take tens of seconds: measured once.
BENCHMARK_CAPTURE(BM_AllPairs, offset_grid, Kind::OffsetGrid)->Arg(300)->Iterations(1)->Unit(benchmark::kMillisecond);

#define KRCOMMON_HOSTILE(name, kind)                                                                                   \
    BENCHMARK_CAPTURE(BM_Indexed, name, kind)->Arg(300)->Unit(benchmark::kMillisecond);                                \
    BENCHMARK_CAPTURE(BM_AllPairs, name, kind)->Arg(30)->Unit(benchmark::kMillisecond)

KRCOMMON_HOSTILE(shared_lines, Kind::SharedLines);
KRCOMMON_HOSTILE(huge_sheet, Kind::HugeSheet);
KRCOMMON_HOSTILE(piled_on_one_spot, Kind::PiledOnOneSpot);
KRCOMMON_HOSTILE(piled_near_miss, Kind::PiledNearMiss);
KRCOMMON_HOSTILE(one_point, Kind::OnePoint);
KRCOMMON_HOSTILE(degenerate_lines, Kind::DegenerateLines);
KRCOMMON_HOSTILE(nan_and_infinite, Kind::NanAndInfinite);
// 10^6 sheets against four blocks: the loop is cheap here too.
BENCHMARK_CAPTURE(BM_Indexed, tiny_sheets, Kind::TinySheets)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AllPairs, tiny_sheets, Kind::TinySheets)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
