// SPDX-License-Identifier: MIT
#ifndef KRCOMMON_COMMON_SHEETINDEX_H
#define KRCOMMON_COMMON_SHEETINDEX_H

#include "CKrCommon.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace krcommon {

using SheetBlockVisitor = std::function<void(std::size_t sheet, std::size_t block)>;

/**
 * Calls @p visit(sheet, block) with indexes into @p sheets and @p blocks for
 * every pair in which the sheet may be related to the block, each related
 * pair at least once and any pair at most four times.
 *
 * A sheet with a NaN bound or with left >= right or bottom >= top is never
 * visited. A block whose coordinates are all numbers and span a positive
 * area is visited with exactly the sheets whose open rectangle meets its
 * closed one. Any other block (zero width or height, a NaN coordinate) is
 * visited once per corner of numbers that lies strictly inside a sheet.
 *
 * Rectangles that miss the other side's bounding box are dropped first. A
 * grid of cells over the blocks then hands over each pair once where it
 * costs O(n) (evenly spread rectangles); elsewhere a sweep along y with an
 * interval tree on x does: O((n + k) log n) time for n sheets and blocks and
 * k visits, whatever the layout, and O(n) memory either way.
 * @throw std::bad_alloc when memory runs out, before the first visit
 * @throw std::length_error beyond 2^29 rectangles (keys are 32-bit)
 */
void visitSheetBlockCandidates(const std::vector<SheetScope> &sheets, const std::vector<Block> &blocks,
                               const SheetBlockVisitor &visit);

} // namespace krcommon

#endif // KRCOMMON_COMMON_SHEETINDEX_H
