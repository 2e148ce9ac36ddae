// SPDX-License-Identifier: MIT
// Relating map sheets to blocks: CKrCommon::blockUserRelation beside its
// peers, on survey grids and on layouts that defeat simple spatial indexes.
// The argument is the side of the block grid (side x side blocks of
// 1000 x 1000). Names follow <job>/krcommon and <job>/peer:<name>, which
// scripts/run-bench pairs up:
//   peer:boost_rtree  Boost.Geometry's rtree, built by packing, over the
//                     sheets with area; one box query per block and the
//                     block's own test on every sheet it hands out
//   peer:all_pairs    the plain loop over every pair, on small sides

#include <CKrCommon.h>

#include <benchmark/benchmark.h>
#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/point.hpp>
#include <boost/geometry/index/rtree.hpp>
#include <boost/iterator/function_output_iterator.hpp>

#include <algorithm>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

constexpr float cell = 1000.0f;
constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float nan = std::numeric_limits<float>::quiet_NaN();

enum class Kind {
    OffsetGrid,      // sheets on a grid offset by half a cell: four sheets per block
    SharedLines,     // sheets on the blocks' own grid lines: one sheet per block
    HugeSheet,       // the offset grid and one sheet over everything
    PiledOnOneSpot,  // every sheet the same small square inside one block
    PiledNearMiss,   // sheets piled on one spot, blocks piled touching them, one pair far off
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
        // Far off, a sheet and a block that keep the piles inside each
        // other's bounding box.
        layout.blocks.push_back(block(1e7f, 1e7f, 1e7f + cell, 1e7f + cell));
        layout.sheets.push_back(sheet(1e7f, 1e7f, 1e7f + cell, 1e7f + cell, -1));
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

using Relate = std::function<void(const std::vector<SheetScope> &, std::vector<Block> &)>;

void krcommon(const std::vector<SheetScope> &sheets, std::vector<Block> &blocks)
{
    CKrCommon::GetSingleTon().blockUserRelation(sheets, blocks);
}

void allPairs(const std::vector<SheetScope> &sheets, std::vector<Block> &blocks)
{
    for (Block &b : blocks)
        for (const SheetScope &s : sheets)
            b.relateSheet(s);
}

// Exact for layouts of finite numbers, all these peers are measured on: the
// closed box query hands out a superset, the block's own test decides.
void boostRtree(const std::vector<SheetScope> &sheets, std::vector<Block> &blocks)
{
    using Point = bg::model::point<float, 2, bg::cs::cartesian>;
    using Box = bg::model::box<Point>;
    using Value = std::pair<Box, std::size_t>;

    std::vector<Value> values;
    values.reserve(sheets.size());
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const SheetScope &s = sheets[i];
        if (s.left < s.right && s.bottom < s.top)
            values.emplace_back(Box(Point(s.left, s.bottom), Point(s.right, s.top)), i);
    }
    const bgi::rtree<Value, bgi::rstar<8>> tree(values); // packing construction; 8 per node is the fastest here
    for (Block &b : blocks) {
        const Box query(Point(std::min(b.x1, b.x2), std::min(b.y1, b.y2)),
                        Point(std::max(b.x1, b.x2), std::max(b.y1, b.y2)));
        tree.query(bgi::intersects(query),
                   boost::make_function_output_iterator([&](const Value &v) { b.relateSheet(sheets[v.second]); }));
    }
}

// The relation KrCommon gives for a layout, computed once, against which the
// peers' results are checked before they are timed.
const std::vector<Block> &reference(Kind kind, int side, const Layout &layout)
{
    static std::map<std::pair<Kind, int>, std::vector<Block>> cache;
    auto found = cache.find({kind, side});
    if (found == cache.end()) {
        std::vector<Block> blocks = layout.blocks;
        krcommon(layout.sheets, blocks);
        found = cache.emplace(std::make_pair(kind, side), std::move(blocks)).first;
    }
    return found->second;
}

void run(benchmark::State &state, Kind kind, const Relate &relate, bool checked = false)
{
    const int side = int(state.range(0));
    const Layout layout = makeLayout(kind, side);
    if (checked) {
        std::vector<Block> blocks = layout.blocks;
        relate(layout.sheets, blocks);
        const std::vector<Block> &expected = reference(kind, side, layout);
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            if (blocks[i].sheetIds != expected[i].sheetIds) {
                state.SkipWithError("the peer's relation differs from KrCommon's");
                return;
            }
        }
    }

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

// The floor: inserting the offset grid's four ids per block, known beforehand.
void BM_InsertOnly(benchmark::State &state)
{
    const int side = int(state.range(0));
    run(state, Kind::OffsetGrid, [side](const std::vector<SheetScope> &, std::vector<Block> &blocks) {
        for (int row = 0; row < side; ++row)
            for (int col = 0; col < side; ++col)
                for (int id :
                     {(row - 1) * side + col - 1, (row - 1) * side + col, row * side + col - 1, row * side + col})
                    if (id >= 0 && id % side <= col)
                        blocks[std::size_t(row * side + col)].sheetIds.insert(id);
    });
}
BENCHMARK(BM_InsertOnly)->Name("sheet_relation_insert_only")->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond);

struct Job {
    const char *name;
    Kind kind;
    std::vector<int> sides, rtreeSides, allPairsSides;
};

// Hostile layouts run at side 300 too, to show the bound; the peers that
// degrade to all pairs on them only at side 30.
const Job jobs[] = {
    {"survey_grid", Kind::OffsetGrid, {30, 300, 600}, {30, 300, 600}, {30}},
    {"shared_lines", Kind::SharedLines, {30, 300}, {30, 300}, {30}},
    {"huge_sheet", Kind::HugeSheet, {30, 300}, {30, 300}, {30}},
    {"piled_on_one_spot", Kind::PiledOnOneSpot, {30, 300}, {30, 300}, {30}},
    {"piled_near_miss", Kind::PiledNearMiss, {30, 300}, {30}, {30}},
    {"one_point", Kind::OnePoint, {30, 300}, {30, 300}, {30}},
    {"degenerate_lines", Kind::DegenerateLines, {30, 300}, {30, 300}, {30}},
    {"nan_and_infinite", Kind::NanAndInfinite, {30, 300}, {}, {30}},
    {"tiny_sheets", Kind::TinySheets, {1000}, {1000}, {1000}},
};

struct Runner {
    const char *suffix;
    void (*relate)(const std::vector<SheetScope> &, std::vector<Block> &);
    std::vector<int> Job::*sides;
    bool checked; // against KrCommon's result before it is timed
};

const bool registered = [] {
    const Runner runners[] = {
        {"/krcommon", krcommon, &Job::sides, false},
        {"/peer:boost_rtree", boostRtree, &Job::rtreeSides, true},
        {"/peer:all_pairs", allPairs, &Job::allPairsSides, false},
    };
    for (const Job &job : jobs) {
        for (const Runner &runner : runners) {
            if ((job.*runner.sides).empty())
                continue;
            const std::string name = std::string("sheet_relation_") + job.name + runner.suffix;
            benchmark::internal::Benchmark *b =
                benchmark::RegisterBenchmark(name.c_str(), [kind = job.kind, runner](benchmark::State &state) {
                    run(state, kind, runner.relate, runner.checked);
                });
            for (int side : job.*runner.sides)
                b->Arg(side);
            b->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

} // namespace
