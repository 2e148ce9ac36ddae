// SPDX-License-Identifier: MIT
// Candidate pairs of map sheets and blocks: a grid of cells over the blocks
// where that stays linear, else a sweep along y that keeps the rectangles it
// crosses in one interval tree on x per kind. Along y, because
// blocks and sheets mostly come row by row (as calBlock gives them), so the
// sweep meets them nearly in the order they are stored in.
//
// Coordinates are replaced by their ranks, doubled, so that the mix of open
// sheets (a corner on the boundary is outside) and closed blocks becomes a
// plain test of closed integer intervals: the sheet (l, r) turns into
// [2 rank(l) + 2, 2 rank(r)] and the block [lo, hi] into [2 rank(lo) + 1,
// 2 rank(hi) + 1]. They meet exactly when l < hi and lo < r. Ranking also
// takes infinities in its stride and keeps every key at least 1, which the
// implicit tree below needs.
#include "common/sheetindex.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace krcommon {
namespace {

using Key = std::uint32_t;

struct Interval {
    Key lo = 0;
    Key hi = 0;
};

// Rectangles of one kind, with the sheet or block each came from.
struct Rects {
    std::vector<std::size_t> owner;
    std::vector<float> ys, xs;         // lo, hi of each rectangle, interleaved
    std::vector<Interval> sweep, tree; // the keys of the y and x extents

    void add(std::size_t from, float xlo, float xhi, float ylo, float yhi)
    {
        owner.push_back(from);
        ys.insert(ys.end(), {ylo, yhi});
        xs.insert(xs.end(), {xlo, xhi});
    }
    std::size_t size() const { return owner.size(); }
    void reserve(std::size_t n)
    {
        owner.reserve(n);
        ys.reserve(2 * n);
        xs.reserve(2 * n);
    }
};

// Order-preserving unsigned key of a float that is not NaN; -0 and +0 share one.
std::uint32_t orderKey(float value)
{
    value += 0.0f;
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
}

// Dense ranks of the values of both kinds together (equal values, equal
// ranks), by a radix sort: linear, and no comparison sort of 10^6 floats.
std::vector<Key> denseRanks(const std::vector<float> &a, const std::vector<float> &b)
{
    const std::size_t n = a.size() + b.size();
    std::vector<std::uint64_t> packed(n), scratch(n);
    for (std::size_t i = 0; i < n; ++i)
        packed[i] = std::uint64_t(orderKey(i < a.size() ? a[i] : b[i - a.size()])) << 32 | i;
    for (int shift = 32; shift < 64; shift += 8) {
        std::array<std::size_t, 257> start{};
        for (std::uint64_t v : packed)
            ++start[((v >> shift) & 0xff) + 1];
        for (std::size_t d = 1; d < start.size(); ++d)
            start[d] += start[d - 1];
        for (std::uint64_t v : packed)
            scratch[start[(v >> shift) & 0xff]++] = v;
        packed.swap(scratch);
    }
    std::vector<Key> ranks(n);
    Key rank = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (packed[i] >> 32) != (packed[i - 1] >> 32))
            ++rank;
        ranks[std::uint32_t(packed[i])] = rank;
    }
    return ranks;
}

void assignKeys(Rects &sheets, Rects &blocks, std::vector<float> Rects::*values, std::vector<Interval> Rects::*keys)
{
    const std::vector<Key> ranks = denseRanks(sheets.*values, blocks.*values);
    const std::size_t nSheets = sheets.size();
    (sheets.*keys).resize(nSheets);
    for (std::size_t i = 0; i < nSheets; ++i)
        (sheets.*keys)[i] = {2 * ranks[2 * i] + 2, 2 * ranks[2 * i + 1]};
    (blocks.*keys).resize(blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i)
        (blocks.*keys)[i] = {2 * ranks[2 * (nSheets + i)] + 1, 2 * ranks[2 * (nSheets + i) + 1] + 1};
}

// Positions [0, n) of which some are set; finds the next set one in
// O(log64 n), so walking the set ones costs nothing for the unset between.
class PositionSet
{
public:
    static constexpr std::size_t npos = std::numeric_limits<std::size_t>::max();

    explicit PositionSet(std::size_t n)
    {
        std::size_t words = n / 64 + 1;
        for (;;) {
            m_levels.emplace_back(words, 0);
            if (words == 1)
                break;
            words = (words + 63) / 64;
        }
    }

    void insert(std::size_t p)
    {
        for (std::vector<std::uint64_t> &level : m_levels) {
            std::uint64_t &word = level[p / 64];
            const bool wasEmpty = word == 0;
            word |= std::uint64_t(1) << (p % 64);
            if (!wasEmpty)
                return;
            p /= 64;
        }
    }

    void erase(std::size_t p)
    {
        for (std::vector<std::uint64_t> &level : m_levels) {
            std::uint64_t &word = level[p / 64];
            word &= ~(std::uint64_t(1) << (p % 64));
            if (word != 0)
                return;
            p /= 64;
        }
    }

    // The smallest set position >= p, or npos.
    std::size_t next(std::size_t p) const
    {
        std::size_t level = 0;
        for (;; ++level) {
            if (level == m_levels.size() || p / 64 >= m_levels[level].size())
                return npos;
            const std::uint64_t bits = m_levels[level][p / 64] & (~std::uint64_t(0) << (p % 64));
            if (bits != 0) {
                p = (p / 64) * 64 + std::size_t(__builtin_ctzll(bits));
                break;
            }
            p = p / 64 + 1; // the next word, one level up
        }
        while (level-- > 0)
            p = p * 64 + std::size_t(__builtin_ctzll(m_levels[level][p]));
        return p;
    }

private:
    std::vector<std::vector<std::uint64_t>> m_levels;
};

// Stable order of @p items by @p keyOf (keys below @p range): a counting sort.
template<typename KeyOf>
std::vector<std::uint32_t> sortedBy(const std::vector<std::uint32_t> &items, std::size_t range, KeyOf keyOf)
{
    std::vector<std::size_t> start(range + 1, 0);
    for (std::uint32_t item : items)
        ++start[keyOf(item) + 1];
    for (std::size_t k = 1; k <= range; ++k)
        start[k] += start[k - 1];
    std::vector<std::uint32_t> sorted(items.size());
    for (std::uint32_t item : items)
        sorted[start[keyOf(item)]++] = item;
    return sorted;
}

// The intervals of one kind that the sweep line currently crosses.
//
// An interval meets the query [lo, hi] when it starts inside it, or starts
// below it and contains lo. The first are a range of the intervals sorted by
// lower end. The second lie on one path of a centred interval tree over the
// keys 1 .. 2^h - 1 in implicit form (node k has the children k -+ step / 2),
// where an interval lives at the highest node whose key it contains. Which
// intervals a node can ever hold is known beforehand, so each node owns a
// fixed range of two arrays, by lower end ascending and by upper end
// descending. PositionSets mark the active entries of all three orders, so a
// query costs O(h) plus O(log64 n) per interval reported.
class ActiveIntervals
{
    // An interval in one of the orders, with the bound it is ordered by.
    struct Entry {
        std::uint32_t item;
        Key bound;
    };

public:
    ActiveIntervals(const std::vector<Interval> &intervals, Key maxKey)
        : m_byLoActive(intervals.size())
        , m_nodeLoActive(intervals.size())
        , m_nodeHiActive(intervals.size())
    {
        m_root = 1;
        while (m_root <= maxKey / 2)
            m_root *= 2;
        const std::size_t nodes = 2 * std::size_t(m_root);

        std::vector<std::uint32_t> items(intervals.size());
        m_places.resize(intervals.size());
        for (std::uint32_t i = 0; i < items.size(); ++i) {
            items[i] = i;
            m_places[i].node = nodeOf(intervals[i]);
        }
        const auto lo = [&](std::uint32_t i) { return intervals[i].lo; };
        const auto byNode = [this](std::uint32_t i) { return m_places[i].node; };
        const std::vector<std::uint32_t> byLo = sortedBy(items, nodes, lo);
        const std::vector<std::uint32_t> nodeLo = sortedBy(byLo, nodes, byNode);
        const std::vector<std::uint32_t> nodeHi =
            sortedBy(sortedBy(items, nodes, [&](std::uint32_t i) { return maxKey - intervals[i].hi; }), nodes, byNode);
        m_byLo.resize(items.size());
        m_nodeLo.resize(items.size());
        m_nodeHi.resize(items.size());
        for (std::uint32_t p = 0; p < items.size(); ++p) {
            m_byLo[p] = {byLo[p], intervals[byLo[p]].lo};
            m_nodeLo[p] = {nodeLo[p], intervals[nodeLo[p]].lo};
            m_nodeHi[p] = {nodeHi[p], intervals[nodeHi[p]].hi};
            m_places[byLo[p]].byLo = p;
            m_places[nodeLo[p]].nodeLo = p;
            m_places[nodeHi[p]].nodeHi = p;
        }
        m_firstFrom = rangeStarts(byLo, nodes, lo);
        m_nodeStart = rangeStarts(nodeLo, nodes, byNode);
        m_active.assign(nodes, 0);
    }

    void insert(std::uint32_t item)
    {
        const Places &place = m_places[item];
        if (m_active[place.node]++ == 0 && m_levelNodes[level(place.node)]++ == 0)
            m_activeLevels |= std::uint64_t(1) << level(place.node);
        m_byLoActive.insert(place.byLo);
        m_nodeLoActive.insert(place.nodeLo);
        m_nodeHiActive.insert(place.nodeHi);
    }

    void erase(std::uint32_t item)
    {
        const Places &place = m_places[item];
        if (--m_active[place.node] == 0 && --m_levelNodes[level(place.node)] == 0)
            m_activeLevels &= ~(std::uint64_t(1) << level(place.node));
        m_byLoActive.erase(place.byLo);
        m_nodeLoActive.erase(place.nodeLo);
        m_nodeHiActive.erase(place.nodeHi);
    }

    // Calls report(item) once for every active interval that meets [lo, hi].
    template<typename Report>
    void query(Interval range, Report &&report) const
    {
        const auto all = [](Key) { return true; };
        scan(m_byLoActive, m_byLo, m_firstFrom[range.lo], m_firstFrom[range.hi + 1], all, report);

        const auto startsBelow = [&](Key lo) { return lo < range.lo; };
        const auto reaches = [&](Key hi) { return hi >= range.lo; };
        // The path from the root to the node range.lo, on the levels that
        // hold active intervals only: its node on level t is the odd multiple
        // of 2^t whose subtree holds range.lo.
        const Key below = range.lo - 1;
        for (std::uint64_t levels = m_activeLevels & (~std::uint64_t(0) << level(range.lo)); levels != 0;
             levels &= levels - 1) {
            const int t = __builtin_ctzll(levels);
            const Key node = (below >> (t + 1) << (t + 1)) | (Key(1) << t);
            if (m_active[node] == 0)
                continue;
            // Every interval at a node contains its key, so one bound decides.
            const std::size_t begin = m_nodeStart[node], end = m_nodeStart[node + 1];
            if (range.lo > node)
                scan(m_nodeHiActive, m_nodeHi, begin, end, reaches, report);
            else
                scan(m_nodeLoActive, m_nodeLo, begin, end, startsBelow, report);
        }
    }

private:
    // Leaves are level 0, the root level h - 1.
    static int level(Key node) { return __builtin_ctz(node); }

    Key nodeOf(Interval interval) const
    {
        Key node = m_root;
        for (Key step = m_root / 2; interval.hi < node || interval.lo > node; step /= 2)
            node = interval.hi < node ? node - step : node + step;
        return node;
    }

    // For each key k, the index in @p sorted of the first entry whose key is
    // k or more; keys run below @p range.
    template<typename KeyOf>
    static std::vector<std::uint32_t> rangeStarts(const std::vector<std::uint32_t> &sorted, std::size_t range,
                                                  KeyOf keyOf)
    {
        std::vector<std::uint32_t> starts(range + 1);
        std::size_t p = 0;
        for (std::size_t k = 0; k <= range; ++k) {
            while (p < sorted.size() && keyOf(sorted[p]) < k)
                ++p;
            starts[k] = std::uint32_t(p);
        }
        return starts;
    }

    // Reports the active items of order[begin, end) up to the first that
    // does not match.
    template<typename Matches, typename Report>
    static void scan(const PositionSet &active, const std::vector<Entry> &order, std::size_t begin, std::size_t end,
                     Matches matches, Report &report)
    {
        for (std::size_t p = begin; p < end && (p = active.next(p)) < end && matches(order[p].bound); ++p)
            report(order[p].item);
    }

    Key m_root = 1;
    struct Places {
        Key node = 0;                                   // the node the interval lives at
        std::uint32_t byLo = 0, nodeLo = 0, nodeHi = 0; // its place in the three orders
    };
    std::vector<Places> m_places;
    std::vector<Entry> m_byLo, m_nodeLo, m_nodeHi; // the three orders
    std::vector<std::uint32_t> m_firstFrom, m_nodeStart;
    std::vector<std::uint32_t> m_active;          // active intervals per node
    std::array<std::uint32_t, 32> m_levelNodes{}; // nodes with active intervals per level
    std::uint64_t m_activeLevels = 0;             // levels with such nodes
    PositionSet m_byLoActive, m_nodeLoActive, m_nodeHiActive;
};

Rects sheetRects(const std::vector<SheetScope> &sheets)
{
    Rects rects; // reserved at the first sheet of area: without one nothing is allocated
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const SheetScope &s = sheets[i];
        // NOTE: false for NaN too: such a sheet contains no point.
        if (!(s.left < s.right && s.bottom < s.top))
            continue;
        if (rects.size() == 0)
            rects.reserve(sheets.size() - i);
        rects.add(i, s.left, s.right, s.bottom, s.top);
    }
    return rects;
}

Rects blockRects(const std::vector<Block> &blocks)
{
    Rects rects;
    rects.reserve(blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const Block &b = blocks[i];
        if (b.x1 != b.x2 && b.y1 != b.y2 && !std::isnan(b.x1) && !std::isnan(b.x2) && !std::isnan(b.y1) &&
            !std::isnan(b.y2)) {
            rects.add(i, std::fmin(b.x1, b.x2), std::fmax(b.x1, b.x2), std::fmin(b.y1, b.y2), std::fmax(b.y1, b.y2));
            continue;
        }
        // Without area only the corners can relate the block to a sheet.
        for (float x : {b.x1, b.x2}) {
            for (float y : {b.y1, b.y2}) {
                if (!std::isnan(x) && !std::isnan(y))
                    rects.add(i, x, x, y, y);
            }
        }
    }
    return rects;
}

// Puts the rectangles in the order the sweep meets them in, so that it walks
// the arrays built from them in order too.
void orderByStart(Rects &rects, std::size_t sweepRange)
{
    std::vector<std::uint32_t> order(rects.size());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    order = sortedBy(order, sweepRange, [&](std::uint32_t i) { return rects.sweep[i].lo; });
    Rects sorted;
    sorted.owner.reserve(order.size());
    sorted.sweep.reserve(order.size());
    sorted.tree.reserve(order.size());
    for (std::uint32_t i : order) {
        sorted.owner.push_back(rects.owner[i]);
        sorted.sweep.push_back(rects.sweep[i]);
        sorted.tree.push_back(rects.tree[i]);
    }
    rects = std::move(sorted);
}

// An open sheet (lo, hi) meets a closed block [lo, hi] along one axis.
bool meets(const float *sheet, const float *block)
{
    return sheet[0] < block[1] && block[0] < sheet[1];
}

// The smallest box holding every rectangle of @p rects, as lo, hi of x and y.
std::array<float, 4> bounds(const Rects &rects)
{
    constexpr float inf = std::numeric_limits<float>::infinity();
    std::array<float, 4> box{inf, -inf, inf, -inf};
    for (std::size_t i = 0; i < rects.size(); ++i) {
        box = {std::min(box[0], rects.xs[2 * i]), std::max(box[1], rects.xs[2 * i + 1]),
               std::min(box[2], rects.ys[2 * i]), std::max(box[3], rects.ys[2 * i + 1])};
    }
    return box;
}

// Drops, in place, the rectangles that do not meet @p box.
void keepMeeting(Rects &rects, const std::array<float, 4> &box, bool rectsAreSheets)
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const float *x = &rects.xs[2 * i], *y = &rects.ys[2 * i];
        if (!(rectsAreSheets ? meets(x, &box[0]) && meets(y, &box[2]) : meets(&box[0], x) && meets(&box[2], y)))
            continue;
        rects.owner[kept] = rects.owner[i];
        std::copy(x, x + 2, &rects.xs[2 * kept]);
        std::copy(y, y + 2, &rects.ys[2 * kept]);
        ++kept;
    }
    rects.owner.resize(kept);
    rects.xs.resize(2 * kept);
    rects.ys.resize(2 * kept);
}

// One axis of a grid of cells: a monotone map of coordinates, infinities
// included, onto cells 0 .. last. Monotone is all that exactness needs: if
// a sheet and a block meet, their ranges of cells overlap.
struct CellAxis {
    double origin = 0, scale = 0;
    std::uint32_t last = 0;

    // The finite extent of @p values, lo and hi; lo > hi when none is finite.
    static std::array<double, 2> extent(const std::vector<float> &values)
    {
        std::array<double, 2> range{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
        for (float v : values) {
            if (std::isfinite(v))
                range = {std::min(range[0], double(v)), std::max(range[1], double(v))};
        }
        return range;
    }

    CellAxis(const std::array<double, 2> &range, std::size_t cells)
    {
        if (range[0] < range[1]) {
            origin = range[0];
            scale = double(cells) / (range[1] - range[0]);
            last = std::uint32_t(cells - 1);
        }
    }

    std::uint32_t cell(float v) const
    {
        const double t = (double(v) - origin) * scale; // NaN (0 * inf) maps to 0 too
        if (!(t > 0))
            return 0;
        return t >= last ? last : std::uint32_t(t);
    }
};

// The cells a rectangle covers: x0, y0, x1, y1.
using CellRange = std::array<std::uint32_t, 4>;

// Candidate pairs through a grid of about one cell per block, each pair in
// the one cell holding the lower left corner of their common cells. Fast on
// layouts of evenly spread rectangles; gives up, visiting nothing, when the
// cells would hold or hand over more than a few times as many entries as
// there are rectangles (piles, huge rectangles), which the sweep handles.
bool visitByCells(const Rects &sheets, const Rects &blocks, const SheetBlockVisitor &visit)
{
    const std::uint64_t budget = 32 * std::uint64_t(sheets.size() + blocks.size());
    const std::size_t n = blocks.size();
    const std::array<double, 2> xRange = CellAxis::extent(blocks.xs), yRange = CellAxis::extent(blocks.ys);
    std::size_t columns = 1, rows = 1;
    {
        const double width = std::max(0.0, xRange[1] - xRange[0]), height = std::max(0.0, yRange[1] - yRange[0]);
        if (width > 0 && height > 0)
            columns =
                std::size_t(std::max(1.0, std::min(double(n), std::round(std::sqrt(double(n) * (width / height))))));
        else if (width > 0 || height > 0)
            columns = width > 0 ? n : 1;
        rows = std::max<std::size_t>(1, n / columns);
    }
    const CellAxis xAxis(xRange, columns), yAxis(yRange, rows);
    const auto cellsOf = [&](const Rects &rects) {
        std::vector<CellRange> cells(rects.size());
        for (std::size_t i = 0; i < rects.size(); ++i)
            cells[i] = {xAxis.cell(rects.xs[2 * i]), yAxis.cell(rects.ys[2 * i]), xAxis.cell(rects.xs[2 * i + 1]),
                        yAxis.cell(rects.ys[2 * i + 1])};
        return cells;
    };
    const auto area = [](const CellRange &r) { return std::uint64_t(r[2] - r[0] + 1) * (r[3] - r[1] + 1); };

    const std::vector<CellRange> blockCells = cellsOf(blocks);
    std::uint64_t entries = 0;
    for (const CellRange &r : blockCells) {
        if ((entries += area(r)) > std::min<std::uint64_t>(budget / 4, std::numeric_limits<std::uint32_t>::max()))
            return false;
    }
    const std::vector<CellRange> sheetCells = cellsOf(sheets);
    std::uint64_t work = 0;
    for (const CellRange &r : sheetCells) {
        if ((work += area(r)) > budget)
            return false;
    }

    // The blocks of each cell, cell by cell in rows: start[c] .. start[c + 1].
    const auto cellOf = [columns](std::uint32_t x, std::uint32_t y) { return std::size_t(y) * columns + x; };
    std::vector<std::uint32_t> start(columns * rows + 1, 0);
    for (const CellRange &r : blockCells) {
        for (std::uint32_t y = r[1]; y <= r[3]; ++y)
            for (std::uint32_t x = r[0]; x <= r[2]; ++x)
                ++start[cellOf(x, y) + 1];
    }
    for (std::size_t c = 1; c < start.size(); ++c)
        start[c] += start[c - 1];
    for (const CellRange &r : sheetCells) {
        for (std::uint32_t y = r[1]; y <= r[3]; ++y) {
            if ((work += start[cellOf(r[2], y) + 1] - start[cellOf(r[0], y)]) > budget)
                return false;
        }
    }
    std::vector<std::uint32_t> inCell(start[start.size() - 1]);
    {
        std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
        for (std::uint32_t b = 0; b < blockCells.size(); ++b) {
            const CellRange &r = blockCells[b];
            for (std::uint32_t y = r[1]; y <= r[3]; ++y)
                for (std::uint32_t x = r[0]; x <= r[2]; ++x)
                    inCell[next[cellOf(x, y)]++] = b;
        }
    }

    for (std::size_t s = 0; s < sheetCells.size(); ++s) {
        const CellRange &r = sheetCells[s];
        const float *sx = &sheets.xs[2 * s], *sy = &sheets.ys[2 * s];
        for (std::uint32_t y = r[1]; y <= r[3]; ++y) {
            for (std::uint32_t x = r[0]; x <= r[2]; ++x) {
                for (std::size_t e = start[cellOf(x, y)], end = start[cellOf(x, y) + 1]; e < end; ++e) {
                    const std::uint32_t b = inCell[e];
                    if (meets(sx, &blocks.xs[2 * std::size_t(b)]) && meets(sy, &blocks.ys[2 * std::size_t(b)]) &&
                        std::max(r[0], blockCells[b][0]) == x && std::max(r[1], blockCells[b][1]) == y)
                        visit(sheets.owner[s], blocks.owner[b]);
                }
            }
        }
    }
    return true;
}

// Every pair of the two sides, where one of them holds a few rectangles.
void visitAllPairs(const Rects &sheets, const Rects &blocks, const SheetBlockVisitor &visit)
{
    for (std::size_t s = 0; s < sheets.size(); ++s) {
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            if (meets(&sheets.xs[2 * s], &blocks.xs[2 * b]) && meets(&sheets.ys[2 * s], &blocks.ys[2 * b]))
                visit(sheets.owner[s], blocks.owner[b]);
        }
    }
}

Key maxKey(const Rects &a, const Rects &b, std::vector<Interval> Rects::*keys)
{
    Key max = 1;
    for (const Rects *rects : {&a, &b}) {
        for (const Interval &interval : rects->*keys)
            max = std::max(max, interval.hi);
    }
    return max;
}

} // namespace

void visitSheetBlockCandidates(const std::vector<SheetScope> &sheets, const std::vector<Block> &blocks,
                               const SheetBlockVisitor &visit)
{
    Rects sheetSide = sheetRects(sheets);
    if (sheetSide.size() == 0)
        return;
    Rects blockSide = blockRects(blocks);
    if (sheetSide.size() + blockSide.size() > std::numeric_limits<Key>::max() / 8)
        throw std::length_error("too many sheets and blocks to relate");
    // Only what meets the other side's bounding box can be related: sheets
    // piled on one spot leave a block or two.
    keepMeeting(blockSide, bounds(sheetSide), false);
    keepMeeting(sheetSide, bounds(blockSide), true);
    // Piles leave few rectangles on one side: then every pair costs less
    // than building the cells or the sweep.
    constexpr std::size_t fewRects = 16;
    if (std::min(sheetSide.size(), blockSide.size()) <= fewRects) {
        visitAllPairs(sheetSide, blockSide, visit);
        return;
    }
    if (visitByCells(sheetSide, blockSide, visit))
        return;
    assignKeys(sheetSide, blockSide, &Rects::ys, &Rects::sweep);
    assignKeys(sheetSide, blockSide, &Rects::xs, &Rects::tree);

    const std::size_t sweepRange = std::size_t(maxKey(sheetSide, blockSide, &Rects::sweep)) + 1;
    orderByStart(sheetSide, sweepRange);
    orderByStart(blockSide, sweepRange);

    const Key treeMax = maxKey(sheetSide, blockSide, &Rects::tree);
    ActiveIntervals activeSheets(sheetSide.tree, treeMax);
    ActiveIntervals activeBlocks(blockSide.tree, treeMax);

    // Starts and ends of both kinds in sweep order; an item number below
    // nSheets is a sheet rectangle, the rest are block rectangles.
    const std::size_t nSheets = sheetSide.size(), nItems = nSheets + blockSide.size();
    const auto sweepOf = [&](std::uint32_t item) -> const Interval & {
        return item < nSheets ? sheetSide.sweep[item] : blockSide.sweep[item - nSheets];
    };
    std::vector<std::uint32_t> items(nItems);
    for (std::uint32_t i = 0; i < nItems; ++i)
        items[i] = i;
    const std::vector<std::uint32_t> byStart =
        sortedBy(items, sweepRange, [&](std::uint32_t i) { return sweepOf(i).lo; });
    const std::vector<std::uint32_t> byEnd =
        sortedBy(items, sweepRange, [&](std::uint32_t i) { return sweepOf(i).hi; });

    // Closed intervals: at one key every start goes before every end.
    std::size_t nextStart = 0, nextEnd = 0;
    while (nextEnd < nItems) {
        const Key at = nextStart < nItems ? sweepOf(byStart[nextStart]).lo : std::numeric_limits<Key>::max();
        if (at <= sweepOf(byEnd[nextEnd]).hi) {
            const std::uint32_t item = byStart[nextStart++];
            if (item < nSheets) {
                activeBlocks.query(sheetSide.tree[item],
                                   [&](std::uint32_t block) { visit(sheetSide.owner[item], blockSide.owner[block]); });
                activeSheets.insert(item);
            } else {
                const std::uint32_t block = item - std::uint32_t(nSheets);
                activeSheets.query(blockSide.tree[block],
                                   [&](std::uint32_t sheet) { visit(sheetSide.owner[sheet], blockSide.owner[block]); });
                activeBlocks.insert(block);
            }
        } else {
            const std::uint32_t item = byEnd[nextEnd++];
            if (item < nSheets)
                activeSheets.erase(item);
            else
                activeBlocks.erase(item - std::uint32_t(nSheets));
        }
    }
}

} // namespace krcommon
