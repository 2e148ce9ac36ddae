// SPDX-License-Identifier: MIT
// Relation of map sheets to the blocks they reach into.
#include "CKrCommon.h"

#include "common/sheetindex.h"

#include <algorithm>

namespace {

// The lower and upper of two coordinates; a NaN leaves lo < hi false.
struct Span {
    float lo, hi;
    Span(float a, float b)
        : lo(a < b ? a : b)
        , hi(a < b ? b : a)
    {}
};

// True when the sheet and the block share a part of positive area. Touching
// along an edge or at a corner is no overlap; NaN fails every comparison.
bool overlapsWithArea(const SheetScope &sheet, const Block &block)
{
    const Span x(block.x1, block.x2), y(block.y1, block.y2);
    return sheet.left < sheet.right && sheet.bottom < sheet.top && x.lo < x.hi && y.lo < y.hi && sheet.left < x.hi &&
           x.lo < sheet.right && sheet.bottom < y.hi && y.lo < sheet.top;
}

} // namespace

bool SheetScope::contains(float x, float y) const
{
    return left < x && x < right && bottom < y && y < top;
}

// NOTE: a block corner strictly inside the sheet relates them, as it always
// has; so does an overlap of positive area, or a block identical to a sheet,
// a sheet inside a block and a strip across it would relate to nothing
// (SheetRelationTest::relation).
void Block::relateSheet(const SheetScope &sheet)
{
    if (sheet.contains(x1, y1) || sheet.contains(x1, y2) || sheet.contains(x2, y1) || sheet.contains(x2, y2) ||
        overlapsWithArea(sheet, *this))
        sheetIds.insert(sheetIds.end(), sheet.id); // sheets mostly come by ascending id: no descent then
}

void CKrCommon::blockUserRelation(const std::vector<SheetScope> &sheets, std::vector<Block> &blocks)
{
    // With a handful of sheets or of blocks, testing every pair costs no more
    // than a few passes over the other side, less than building the index.
    constexpr std::size_t fewItems = 16;
    if (std::min(sheets.size(), blocks.size()) <= fewItems) {
        for (Block &block : blocks) {
            for (const SheetScope &sheet : sheets)
                block.relateSheet(sheet);
        }
        return;
    }

    // The index hands over every pair that may be related; the rule itself
    // decides, so the result is that of testing all pairs.
    krcommon::visitSheetBlockCandidates(
        sheets, blocks, [&](std::size_t sheet, std::size_t block) { blocks[block].relateSheet(sheets[sheet]); });
}
