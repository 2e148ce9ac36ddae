// SPDX-License-Identifier: MIT
// CKrCommon::blockUserRelation and Block::relateSheet: which map sheets a
// block reaches into.
#include <CKrCommon.h>

#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <vector>

Q_DECLARE_METATYPE(SheetScope)
Q_DECLARE_METATYPE(Block)

namespace {

constexpr float Inf = std::numeric_limits<float>::infinity();
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

SheetScope sheet(float left, float right, float top, float bottom, int id = 7)
{
    SheetScope s;
    s.left = left;
    s.right = right;
    s.top = top;
    s.bottom = bottom;
    s.id = id;
    return s;
}

Block block(float x1, float y1, float x2, float y2, std::set<int> ids = {})
{
    Block b;
    b.tag = 0x5eed;
    b.x1 = x1;
    b.y1 = y1;
    b.x2 = x2;
    b.y2 = y2;
    b.sheetIds = std::move(ids);
    return b;
}

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
    const auto same = [](float x, float y) { return x == y || (std::isnan(x) && std::isnan(y)); };
    return a.tag == b.tag && same(a.x1, b.x1) && same(a.y1, b.y1) && same(a.x2, b.x2) && same(a.y2, b.y2);
}

// Coordinates for random layouts. Drawn from a small pool they tie, touch
// and coincide often; the rest are spread out.
class Layout
{
public:
    Layout(unsigned seed, float specialShare)
        : m_random(seed)
        , m_special(specialShare)
    {}

    float coordinate()
    {
        static const float pool[] = {-Inf, -2, -1, -0.0f, 0, 0.5f, 1, 1, 2, 2, 3, Inf, NaN};
        if (std::uniform_real_distribution<float>(0, 1)(m_random) < m_special)
            return pool[std::uniform_int_distribution<std::size_t>(0, std::size(pool) - 1)(m_random)];
        return std::uniform_real_distribution<float>(-4, 4)(m_random);
    }
    int id() { return std::uniform_int_distribution<int>(-3, 12)(m_random); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_random) < p; }

private:
    std::mt19937 m_random;
    float m_special;
};

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

        const SheetScope square = sheet(0, 100, 100, 0);
        QTest::newRow("one_corner_inside") << square << block(50, 50, 150, 150) << true;
        QTest::newRow("corners_in_other_order") << square << block(150, 150, 50, 50) << true;
        QTest::newRow("corners_crosswise") << square << block(150, 50, 50, 150) << true;
        QTest::newRow("block_inside_sheet") << square << block(10, 10, 20, 20) << true;
        // A corner inside relates even when the block has no area.
        QTest::newRow("zero_width_block_inside") << square << block(50, 10, 50, 20) << true;
        QTest::newRow("nan_beside_corner_inside") << square << block(NaN, 50, 50, 150) << true;
        // Overlaps with no corner inside.
        QTest::newRow("block_identical_to_sheet") << square << block(0, 0, 100, 100) << true;
        QTest::newRow("sheet_inside_block") << square << block(-10, -10, 110, 110) << true;
        QTest::newRow("block_strip_across_sheet") << square << block(40, -10, 60, 110) << true;
        QTest::newRow("sheet_strip_across_block") << sheet(40, 60, 110, -10) << block(0, 0, 100, 100) << true;
        QTest::newRow("infinite_block") << square << block(-Inf, -Inf, Inf, Inf) << true;
        QTest::newRow("infinite_sheet") << sheet(-Inf, Inf, Inf, -Inf) << block(1, 1, 2, 2) << true;
        QTest::newRow("negative_coordinates") << sheet(-300, -100, -100, -300) << block(-250, -50, -150, -350) << true;
        // Touching only.
        QTest::newRow("touching_edge") << square << block(100, 0, 200, 100) << false;
        QTest::newRow("touching_corner") << square << block(100, 100, 200, 200) << false;
        QTest::newRow("touching_infinite_sheet") << sheet(-Inf, Inf, 0, -Inf) << block(1, 0, 2, 2) << false;
        QTest::newRow("apart") << square << block(200, 200, 300, 300) << false;
        QTest::newRow("zero_width_block_across") << square << block(50, -10, 50, 110) << false;
        QTest::newRow("nan_block_across") << square << block(NaN, -10, 150, 110) << false;
        QTest::newRow("all_nan_block") << square << block(NaN, NaN, NaN, NaN) << false;
        // Sheets that contain no point.
        QTest::newRow("nan_sheet") << sheet(NaN, 100, 100, 0) << block(10, 10, 20, 20) << false;
        QTest::newRow("zero_width_sheet") << sheet(50, 50, 100, 0) << block(0, 0, 100, 100) << false;
        QTest::newRow("left_right_swapped") << sheet(100, 0, 100, 0) << block(10, 10, 20, 20) << false;
        QTest::newRow("top_below_bottom") << sheet(0, 100, 0, 100) << block(-10, -10, 110, 110) << false;
    }

    void relation()
    {
        QFETCH(SheetScope, sheet);
        QFETCH(Block, block);
        QFETCH(bool, isRelated);

        // Ids already held stay; the sheet's id is added at most once, also
        // when two sheets with that id reach into the block.
        block.sheetIds = {-5, 3};
        std::set<int> expected = block.sheetIds;
        if (isRelated)
            expected.insert(sheet.id);

        std::vector<Block> blocks{block};
        CKrCommon::GetSingleTon().blockUserRelation({sheet, sheet}, blocks);
        QCOMPARE(blocks.size(), std::size_t(1));
        QVERIFY(blocks[0].sheetIds == expected);
        QVERIFY(sameExceptIds(blocks[0], block));

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

        QTest::newRow("spread_out") << 1u << 0.0f << 200 << 200;
        QTest::newRow("some_ties") << 2u << 0.3f << 200 << 200;
        QTest::newRow("mostly_ties") << 3u << 0.8f << 150 << 150;
        QTest::newRow("only_pool_values") << 4u << 1.0f << 150 << 150;
        QTest::newRow("few_sheets") << 5u << 0.3f << 3 << 300;
        QTest::newRow("few_blocks") << 6u << 0.3f << 300 << 3;
        QTest::newRow("just_too_many_for_pairs") << 8u << 0.3f << 17 << 300;
        QTest::newRow("no_sheets") << 7u << 0.3f << 0 << 10;
    }

    void matchesAllPairs()
    {
        QFETCH(unsigned, seed);
        QFETCH(float, specialShare);
        QFETCH(int, sheetCount);
        QFETCH(int, blockCount);

        Layout layout(seed, specialShare);
        std::vector<SheetScope> sheets;
        for (int i = 0; i < sheetCount; ++i) {
            sheets.push_back(
                sheet(layout.coordinate(), layout.coordinate(), layout.coordinate(), layout.coordinate(), layout.id()));
            if (layout.chance(0.5)) { // most random sheets would be empty otherwise
                SheetScope &s = sheets.back();
                if (s.left > s.right)
                    std::swap(s.left, s.right);
                if (s.bottom > s.top)
                    std::swap(s.bottom, s.top);
            }
        }
        std::vector<Block> blocks;
        for (int i = 0; i < blockCount; ++i) {
            blocks.push_back(block(layout.coordinate(), layout.coordinate(), layout.coordinate(), layout.coordinate()));
            if (layout.chance(0.3))
                blocks.back().sheetIds = {layout.id(), layout.id()};
            if (layout.chance(0.1) && !sheets.empty()) // a block identical to a sheet
                blocks.back() = block(sheets[i % sheets.size()].left, sheets[i % sheets.size()].bottom,
                                      sheets[i % sheets.size()].right, sheets[i % sheets.size()].top);
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
            QVERIFY2(blocks[i].sheetIds == expected[i].sheetIds, qPrintable(QStringLiteral("block %1").arg(i)));
            QVERIFY(sameExceptIds(blocks[i], expected[i]));
        }
    }

    // Blocks and sheets on grids: shared grid lines relate each block to the
    // sheet it coincides with only; a grid offset by half a cell relates each
    // inner block to four sheets.
    void grids_data()
    {
        QTest::addColumn<float>("offset");
        QTest::addColumn<int>("innerRelations");
        QTest::newRow("shared_grid_lines") << 0.0f << 1;
        QTest::newRow("offset_half_a_cell") << 0.5f << 4;
    }

    void grids()
    {
        QFETCH(float, offset);
        QFETCH(int, innerRelations);
        const int side = 40;
        std::vector<SheetScope> sheets;
        std::vector<Block> blocks;
        for (int row = 0; row < side; ++row) {
            for (int col = 0; col < side; ++col) {
                sheets.push_back(
                    sheet(col + offset, col + offset + 1, row + offset + 1, row + offset, row * side + col));
                blocks.push_back(block(col, row, col + 1, row + 1));
            }
        }
        CKrCommon::GetSingleTon().blockUserRelation(sheets, blocks);
        for (int row = 1; row < side - 1; ++row) {
            for (int col = 1; col < side - 1; ++col) {
                const Block &b = blocks[std::size_t(row * side + col)];
                QCOMPARE(int(b.sheetIds.size()), innerRelations);
                QVERIFY(b.sheetIds.count(row * side + col));
            }
        }
    }
};

QTEST_GUILESS_MAIN(SheetRelationTest)

#include "sheetrelationtest.moc"
