// SPDX-License-Identifier: MIT
// CKrCommon::blockUserRelation and Block::relateSheet: which map sheets a
// block reaches into.
#include <CKrCommon.h>
#ifdef KRCOMMON_INTERNALS
#include <common/sheetindex.h>
#endif

#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <vector>

Q_DECLARE_METATYPE(SheetScope)
Q_DECLARE_METATYPE(Block)

namespace {

constexpr float Inf = std::numeric_limits<float>::infinity();
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

// The relation written out on its own: a corner of the block strictly inside
// the sheet, or an intersection of positive area.
bool related(const SheetScope &s, const Block &b)
{
    const auto inside = [&](float x, float y) { return s.left < x && x < s.right && s.bottom < y && y < s.top; };
    if (inside(b.x1, b.y1) || inside(b.x1, b.y2) || inside(b.x2, b.y1) || inside(b.x2, b.y2))
        return true;
    for (float v : {s.left, s.right, s.top, s.bottom, b.x1, b.x2, b.y1, b.y2}) {
        if (std::isnan(v))
            return false;
    }
    const float width = std::min(s.right, std::max(b.x1, b.x2)) - std::max(s.left, std::min(b.x1, b.x2));
    const float height = std::min(s.top, std::max(b.y1, b.y2)) - std::max(s.bottom, std::min(b.y1, b.y2));
    return s.left < s.right && s.bottom < s.top && b.x1 != b.x2 && b.y1 != b.y2 && width > 0 && height > 0;
}

bool sameExceptIds(const Block &a, const Block &b)
{
    return a.tag == b.tag && std::memcmp(&a.x1, &b.x1, 4 * sizeof(float)) == 0; // NaN equal to NaN
}

// Random coordinates; drawn from a small pool they tie, touch and coincide
// often, and some are infinite or NaN.
float coordinate(std::mt19937 &random, float poolShare)
{
    static const float pool[] = {-Inf, -2, -1, -0.0f, 0, 0.5f, 1, 1, 2, 2, 3, Inf, NaN};
    if (std::uniform_real_distribution<float>(0, 1)(random) < poolShare)
        return pool[random() % std::size(pool)];
    return std::uniform_real_distribution<float>(-4, 4)(random);
}

} // namespace

class SheetRelationTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void relation_data()
    {
        QTest::addColumn<SheetScope>("sheet");
        QTest::addColumn<Block>("block");
        QTest::addColumn<bool>("isRelated");

        const SheetScope square{0, 100, 100, 0, 7};
        QTest::newRow("one_corner_inside") << square << Block{42, 50, 50, 150, 150, {}} << true;
        QTest::newRow("corners_in_other_order") << square << Block{42, 150, 150, 50, 50, {}} << true;
        QTest::newRow("block_inside_sheet") << square << Block{42, 10, 10, 20, 20, {}} << true;
        // A corner inside relates even when the block has no area.
        QTest::newRow("zero_width_block_inside") << square << Block{42, 50, 10, 50, 20, {}} << true;
        QTest::newRow("nan_beside_corner_inside") << square << Block{42, NaN, 50, 50, 150, {}} << true;
        // Overlaps with no corner inside.
        QTest::newRow("block_identical_to_sheet") << square << Block{42, 0, 0, 100, 100, {}} << true;
        QTest::newRow("sheet_inside_block") << square << Block{42, -10, -10, 110, 110, {}} << true;
        QTest::newRow("block_strip_across_sheet") << square << Block{42, 40, -10, 60, 110, {}} << true;
        QTest::newRow("sheet_strip_across_block")
            << SheetScope{40, 60, 110, -10, 7} << Block{42, 0, 0, 100, 100, {}} << true;
        QTest::newRow("infinite_block") << square << Block{42, -Inf, -Inf, Inf, Inf, {}} << true;
        // Touching only.
        QTest::newRow("touching_edge") << square << Block{42, 100, 0, 200, 100, {}} << false;
        QTest::newRow("touching_corner") << square << Block{42, 100, 100, 200, 200, {}} << false;
        QTest::newRow("zero_width_block_across") << square << Block{42, 50, -10, 50, 110, {}} << false;
        QTest::newRow("nan_block_across") << square << Block{42, NaN, -10, 150, 110, {}} << false;
        // Sheets that contain no point.
        QTest::newRow("nan_sheet") << SheetScope{NaN, 100, 100, 0, 7} << Block{42, 10, 10, 20, 20, {}} << false;
        QTest::newRow("zero_width_sheet") << SheetScope{50, 50, 100, 0, 7} << Block{42, 0, 0, 100, 100, {}} << false;
        QTest::newRow("left_right_swapped") << SheetScope{100, 0, 100, 0, 7} << Block{42, 10, 10, 20, 20, {}} << false;
    }

    void relation()
    {
        QFETCH(SheetScope, sheet);
        QFETCH(Block, block);
        QFETCH(bool, isRelated);

        // Ids already held stay.
        block.sheetIds = {-5, 3};
        std::set<int> expected = block.sheetIds;
        if (isRelated)
            expected.insert(sheet.id);

        // Sheets without area as filling, so that the index, not the test of
        // every pair kept for a handful of sheets, decides; the sheet is the
        // only one it keeps.
        std::vector<SheetScope> sheets(20);
        sheets.push_back(sheet);
        std::vector<Block> blocks(20, block);
        CKrCommon::GetSingleTon().blockUserRelation(sheets, blocks);
        QCOMPARE(blocks.size(), std::size_t(20));
        for (const Block &b : blocks)
            QVERIFY(b.sheetIds == expected && sameExceptIds(b, block));

        Block single = block;
        single.relateSheet(sheet);
        QVERIFY(single.sheetIds == expected);
        QCOMPARE(related(sheet, block), isRelated);
    }

    // The indexed relation gives exactly what testing every pair gives.
    void matchesAllPairs_data()
    {
        QTest::addColumn<unsigned>("seed");
        QTest::addColumn<float>("specialShare");
        QTest::addColumn<int>("sheetCount");
        QTest::addColumn<int>("blockCount");
        QTest::addColumn<int>("tiles"); // per axis, each rectangle shifted into one

        QTest::newRow("spread_out") << 1u << 0.0f << 200 << 200 << 1;
        QTest::newRow("some_ties") << 2u << 0.3f << 200 << 200 << 1;
        QTest::newRow("mostly_ties") << 3u << 0.8f << 150 << 150 << 1;
        QTest::newRow("only_pool_values") << 4u << 1.0f << 150 << 150 << 1;
        QTest::newRow("few_sheets") << 5u << 0.3f << 3 << 300 << 1;
        QTest::newRow("few_blocks") << 6u << 0.3f << 300 << 3 << 1;
        QTest::newRow("just_too_many_for_pairs") << 8u << 0.3f << 17 << 300 << 1;
        QTest::newRow("no_sheets") << 7u << 0.3f << 0 << 10 << 1;
        QTest::newRow("tiled_ties") << 9u << 0.3f << 400 << 400 << 8;
        QTest::newRow("tiled_pool_values") << 10u << 1.0f << 400 << 400 << 8;
    }

    void matchesAllPairs()
    {
        QFETCH(unsigned, seed);
        QFETCH(float, specialShare);
        QFETCH(int, sheetCount);
        QFETCH(int, blockCount);
        QFETCH(int, tiles);

        std::mt19937 random(seed);
        float shift = 0; // of the rectangle being drawn, 8 per tile
        const auto c = [&] { return coordinate(random, specialShare) + shift; };
        const auto tile = [&] { return tiles > 1 ? float(random() % unsigned(tiles) * 8) : 0.0f; };
        const auto id = [&] { return int(random() % 16) - 3; }; // repeated and negative ids
        std::vector<SheetScope> sheets;
        for (int i = 0; i < sheetCount; ++i) {
            shift = tile();
            float x[] = {c(), c()};
            shift = tile();
            float y[] = {c(), c()};
            if (random() % 2) { // most sheets would have no area otherwise
                std::sort(std::begin(x), std::end(x));
                std::sort(std::begin(y), std::end(y));
            }
            sheets.push_back(SheetScope{x[0], x[1], y[1], y[0], id()});
        }
        std::vector<Block> blocks;
        for (int i = 0; i < blockCount; ++i) {
            const SheetScope *twin = sheets.empty() || random() % 10 ? nullptr : &sheets[i % sheets.size()];
            shift = tile();
            const float x1 = c(), x2 = c();
            shift = tile();
            const float y1 = c(), y2 = c();
            blocks.push_back(twin ? Block{i, twin->left, twin->bottom, twin->right, twin->top, {}}
                                  : Block{i, x1, y1, x2, y2, {}});
            if (random() % 3 == 0)
                blocks.back().sheetIds = {id(), id()};
        }

        std::vector<Block> expected = blocks;
        for (Block &b : expected) {
            for (const SheetScope &s : sheets) {
                if (related(s, b))
                    b.sheetIds.insert(s.id);
            }
        }
        CKrCommon::GetSingleTon().blockUserRelation(sheets, blocks);
        QCOMPARE(blocks.size(), expected.size());
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            QVERIFY2(blocks[i].sheetIds == expected[i].sheetIds && sameExceptIds(blocks[i], expected[i]),
                     qPrintable(QStringLiteral("block %1").arg(i)));
        }
    }

#ifdef KRCOMMON_INTERNALS // not in the build against the installed package
    // The index hands over each related pair once and nothing else, also on
    // a pile of touching rectangles beside the grid, which no grid of cells
    // takes apart.
    void candidatesOnGrid_data()
    {
        QTest::addColumn<float>("offset");
        QTest::addColumn<int>("pile");
        QTest::addColumn<int>("cells"); // of a grid 20 wide

        QTest::newRow("offset_grid") << 0.5f << 0 << 400;
        QTest::newRow("shared_lines") << 0.0f << 0 << 400;
        QTest::newRow("offset_grid_and_pile") << 0.5f << 300 << 400;
        QTest::newRow("pile_past_4096") << 0.5f << 3700 << 400; // the sweep's sets get a second level
        QTest::newRow("offset_row_of_few") << 0.5f << 0 << 12;  // too few for cells: every pair is tested
    }

    void candidatesOnGrid()
    {
        QFETCH(float, offset);
        QFETCH(int, pile);
        QFETCH(int, cells);

        std::vector<SheetScope> sheets(std::size_t(pile), SheetScope{5, 6, 6, 5, 0});
        std::vector<Block> blocks(std::size_t(pile), Block{0, 5, 6, 6, 7, {}});
        for (int i = 0; i < cells; ++i) {
            const float x = float(i % 20), y = float(i / 20);
            sheets.push_back(SheetScope{x + offset, x + offset + 1, y + offset + 1, y + offset, i});
            blocks.push_back(Block{i, x, y, x + 1, y + 1, {}});
        }
        blocks.push_back(Block{-1, 10.25f, -5, 10.25f, 40, {}}); // a line across the grid: only its ends count
        std::size_t expected = 0, visits = 0;
        for (const Block &b : blocks)
            expected +=
                std::size_t(std::count_if(sheets.begin(), sheets.end(), [&](const auto &s) { return related(s, b); }));
        krcommon::visitSheetBlockCandidates(sheets, blocks, [&](std::size_t, std::size_t) { ++visits; });
        QCOMPARE(visits, expected);
    }
#endif
};

QTEST_GUILESS_MAIN(SheetRelationTest)

#include "sheetrelationtest.moc"
