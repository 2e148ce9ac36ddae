// SPDX-License-Identifier: MIT
// Division of a rectangular survey area into a regular grid of blocks.
#include "CKrCommon.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

constexpr double kOnGridLine = 1e-6;

struct AxisGrid {
    double origin = 0.0; // the grid line at or below the area's start
    double count = 0.0;  // number of columns (rows), a whole number
};

[[noreturn]] void throwUnsizable()
{
    throw std::length_error("CKrCommon::calBlock: the block grid cannot be sized");
}

// One axis of the grid. The float roundings are those the stored grids were
// made with; keep them, so results stay bit for bit the same.
AxisGrid axisGrid(float start, float extent, float blockSize)
{
    // An infinite block size would pass every check below as a NaN origin
    // (0 * inf) with one column: a grid of NaN instead of an error.
    if (std::isinf(blockSize))
        throwUnsizable();
    // NOTE: floor, not truncation toward zero: for a negative start the grid
    // line at or below it is the one left of it, and only then does the grid
    // cover the area. For starts >= 0 both give the same line.
    const double cell = std::floor(double(start) / double(blockSize));
    if (!(cell >= std::numeric_limits<int>::min() && cell <= std::numeric_limits<int>::max()))
        throwUnsizable();

    AxisGrid axis;
    axis.origin = double(int(cell)) * double(blockSize);
    const float remainder = float(double(start) - axis.origin);
    const float quotient = float(double(extent) / double(blockSize));
    const float cells = float(std::ceil(double(quotient)));
    // A start inside a cell needs one column more than the extent alone.
    axis.count = double(remainder) < kOnGridLine ? double(cells) : double(cells) + 1.0;
    if (std::isnan(axis.count) || axis.count > std::numeric_limits<int>::max())
        throwUnsizable();
    return axis;
}

} // namespace

void CKrCommon::calBlock(std::vector<std::vector<float>> &rows, float startX, float startY, float width, float height,
                         float blockWidth, float blockHeight)
{
    const AxisGrid xAxis = axisGrid(startX, width, blockWidth);
    const AxisGrid yAxis = axisGrid(startY, height, blockHeight);
    if (xAxis.count < 0)
        throw std::length_error("CKrCommon::calBlock: negative column count");
    const int columnCount = int(xAxis.count);
    const int rowCount = yAxis.count > 0 ? int(yAxis.count) : 0;

    const float firstX = float(xAxis.origin);
    const float firstY = float(yAxis.origin);

    // Each coordinate is origin + index * size, never a running sum, so
    // rounding does not accumulate along a row or from row to row.
    std::vector<float> row(2 * std::size_t(columnCount), 0.0f);
    for (int r = 0; r < rowCount; ++r) {
        const float y = float(double(r) * double(blockHeight) + double(firstY));
        for (int c = 0; c < columnCount; ++c) {
            row[2 * std::size_t(c)] = float(double(c) * double(blockWidth) + double(firstX));
            row[2 * std::size_t(c) + 1] = y;
        }
        rows.push_back(row);
    }
}
