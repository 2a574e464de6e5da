#include "prallwerk/collision/bounds_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "prallwerk/math/assertion.h"

namespace prallwerk {

namespace {


// A cell's edge is this many times the mean of the boxes' largest extents, so
// that most boxes cover one to eight cells.
constexpr double cellsPerMeanExtent = 1.5;

// Boxes that would cover more than two cells along any axis are compared
// with every box instead.
constexpr long long widestInCells = 1;

// A box asked about (overlapping) is looked up cell by cell while it covers
// fewer than this many cells along each axis; a wider one is compared with
// every box.
constexpr long long widestQueryCells = 16;

// Cell coordinates are kept below this in magnitude (2^40); boxes beyond it
// are compared with every box.
constexpr double largestCellCoordinate = 1099511627776.0;

// Lists of cells: a few per box, so that few cells share one.
constexpr int listsPerBox = 4;
constexpr int fewestLists = 16;

// The cells a box covers along one axis: false when they are too far out.
bool cellRange(double lo, double hi, double inverseCell, long long range[2]) {
    const double a = lo * inverseCell, b = hi * inverseCell;
    if (!(std::fabs(a) < largestCellCoordinate && std::fabs(b) < largestCellCoordinate)) return false;
    // The floors, by truncation: exact below 2^40, and no call.
    range[0] = static_cast<long long>(a);
    range[1] = static_cast<long long>(b);
    if (static_cast<double>(range[0]) > a) --range[0];
    if (static_cast<double>(range[1]) > b) --range[1];
    return true;
}

// Few items, mostly in descending order: insertion sort.
void sortAscending(int* items, int n) {
    for (int p = 1; p < n; ++p) {
        const int j = items[p];
        int q = p;
        for (; q > 0 && items[q - 1] > j; --q) items[q] = items[q - 1];
        items[q] = j;
    }
}

}  // namespace

void BoundsGrid::reserve(int count) {
    const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
    if (found_.size() < n) {
        found_.resize(n);
        seen_.resize(n, 0ull);
        places_.resize(n);
        outside_.resize(n);
    }
    if (n > static_cast<size_t>(BoundsGrid::pairwiseUpTo)) {
        size_t lists = fewestLists;
        while (lists < listsPerBox * n) lists *= 2;
        if (listStart_.size() < lists + 1) listStart_.resize(lists + 1);
        // A box in the grid covers at most two cells along each axis.
        if (entries_.size() < 8 * n) entries_.resize(8 * n);
    }
}

void BoundsGrid::build(const Bounds* bounds, int count) {
    PRALLWERK_ASSERT(count >= 0);
    count = std::max(count, 0);
    bounds_ = bounds;
    count_ = count;
    const size_t n = static_cast<size_t>(count);
    reserve(count);
    gridded_ = count_ > BoundsGrid::pairwiseUpTo;
    if (!gridded_) return;

    double extents = 0.0;
    int finite = 0;
    for (int i = 0; i < count_; ++i) {
        const Bounds& b = bounds_[i];
        const double extent = std::max(std::max(b.hi[0] - b.lo[0], b.hi[1] - b.lo[1]), b.hi[2] - b.lo[2]);
        if (std::isfinite(extent)) {
            extents += extent;
            ++finite;
        }
    }
    const double cell = cellsPerMeanExtent * (finite > 0 ? extents / finite : 0.0);
    inverseCell_ = 1.0 / cell;
    const bool usable = cell > 0.0 && std::isfinite(cell) && inverseCell_ > 0.0 && std::isfinite(inverseCell_);

    size_t lists = fewestLists;
    while (lists < listsPerBox * n) lists *= 2;
    mask_ = static_cast<unsigned>(lists - 1);
    std::fill(listStart_.begin(), listStart_.begin() + static_cast<std::ptrdiff_t>(lists + 1), 0);

    // Which cells each box covers, and how many boxes each list holds.
    outsideCount_ = 0;
    for (int i = 0; i < count_; ++i) {
        Place& p = places_[i];
        const Bounds& b = bounds_[i];
        p.inGrid = usable;
        for (int k = 0; k < 3 && p.inGrid; ++k) {
            p.inGrid = cellRange(b.lo[k], b.hi[k], inverseCell_, p.cell[k]) && p.cell[k][1] - p.cell[k][0] <= widestInCells;
        }
        if (!p.inGrid) {
            outside_[outsideCount_++] = i;
            continue;
        }
        for (long long cx = p.cell[0][0]; cx <= p.cell[0][1]; ++cx) {
            for (long long cy = p.cell[1][0]; cy <= p.cell[1][1]; ++cy) {
                for (long long cz = p.cell[2][0]; cz <= p.cell[2][1]; ++cz) ++listStart_[listOf(cx, cy, cz)];
            }
        }
    }
    // Each list ends where the next begins; filled from the back, so that
    // each holds its boxes in ascending order.
    const int listCount = static_cast<int>(lists);
    for (int l = 1; l < listCount; ++l) listStart_[l] += listStart_[l - 1];
    listStart_[listCount] = listStart_[listCount - 1];
    for (int i = count_ - 1; i >= 0; --i) {
        const Place& p = places_[i];
        if (!p.inGrid) continue;
        for (long long cx = p.cell[0][0]; cx <= p.cell[0][1]; ++cx) {
            for (long long cy = p.cell[1][0]; cy <= p.cell[1][1]; ++cy) {
                for (long long cz = p.cell[2][0]; cz <= p.cell[2][1]; ++cz) {
                    CellEntry& e = entries_[--listStart_[listOf(cx, cy, cz)]];
                    e.cell[0] = cx;
                    e.cell[1] = cy;
                    e.cell[2] = cz;
                    e.item = i;
                }
            }
        }
    }
}

int BoundsGrid::listOf(long long cx, long long cy, long long cz) const {
    uint64_t h = static_cast<uint64_t>(cx) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(cy) * 0xC2B2AE3D27D4EB4Full ^
                 static_cast<uint64_t>(cz) * 0x165667B19E3779F9ull;
    h ^= h >> 32;
    return static_cast<int>(h & mask_);
}

BoundsGrid::Items BoundsGrid::partnersAfter(int i) {
    PRALLWERK_ASSERT(i >= 0 && i < count_);
    if (i < 0 || i >= count_) return {};
    int n = 0;
    const Bounds& b = bounds_[i];
    const Place& r = places_[i];
    if (!gridded_ || !r.inGrid) {
        for (int j = i + 1; j < count_; ++j) {
            if (b.overlaps(bounds_[j])) found_[n++] = j;
        }
        return {found_.data(), found_.data() + n};
    }
    // Two boxes that overlap share the cell of the lower corner of their
    // overlap (the largest of their lower bounds along each axis): that
    // corner lies within both boxes, and a cell coordinate, rounded as it may
    // be, grows with the bound it is taken from, so that cell lies within
    // the range of cells of each. For the same reason it is the cell of the
    // larger of the two first cells along each axis. The pair is compared
    // there and in no other cell; a pair that does not overlap is compared in
    // at most that one cell, and found apart.
    for (long long cx = r.cell[0][0]; cx <= r.cell[0][1]; ++cx) {
        for (long long cy = r.cell[1][0]; cy <= r.cell[1][1]; ++cy) {
            for (long long cz = r.cell[2][0]; cz <= r.cell[2][1]; ++cz) {
                const int l = listOf(cx, cy, cz);
                const long long cell[3] = {cx, cy, cz};
                // Each list holds its boxes in ascending order: those after
                // i come last.
                for (int e = listStart_[l + 1] - 1; e >= listStart_[l]; --e) {
                    const CellEntry& entry = entries_[e];
                    const int j = entry.item;
                    if (j <= i) break;
                    if (entry.cell[0] != cx || entry.cell[1] != cy || entry.cell[2] != cz) continue;
                    const Place& o = places_[j];
                    bool lowest = true;
                    for (int k = 0; k < 3 && lowest; ++k) lowest = std::max(r.cell[k][0], o.cell[k][0]) == cell[k];
                    if (lowest && b.overlaps(bounds_[j])) found_[n++] = j;
                }
            }
        }
    }
    // Boxes outside the grid meet any box.
    for (int q = 0; q < outsideCount_; ++q) {
        const int j = outside_[q];
        if (j > i && b.overlaps(bounds_[j])) found_[n++] = j;
    }
    sortAscending(found_.data(), n);
    return {found_.data(), found_.data() + n};
}

void BoundsGrid::collect(long long cx, long long cy, long long cz, const Bounds& b, int& n) {
    const int l = listOf(cx, cy, cz);
    for (int e = listStart_[l]; e < listStart_[l + 1]; ++e) {
        const CellEntry& entry = entries_[e];
        const int j = entry.item;
        if (entry.cell[0] != cx || entry.cell[1] != cy || entry.cell[2] != cz || seen_[j] == question_) continue;
        seen_[j] = question_;
        if (b.overlaps(bounds_[j])) found_[n++] = j;
    }
}

BoundsGrid::Items BoundsGrid::overlapping(const Bounds& b) {
    int n = 0;
    long long range[3][2];
    bool byCells = gridded_;
    for (int k = 0; k < 3 && byCells; ++k) {
        byCells = cellRange(b.lo[k], b.hi[k], inverseCell_, range[k]) && range[k][1] - range[k][0] < widestQueryCells;
    }
    if (!byCells) {
        for (int j = 0; j < count_; ++j) {
            if (b.overlaps(bounds_[j])) found_[n++] = j;
        }
        return {found_.data(), found_.data() + n};
    }
    // A box in the grid that overlaps b shares a cell with it (the cell of
    // the lower corner of their overlap, as above); the stamps keep one that
    // shares several from being found twice. (64 bits of questions do not
    // run out.)
    ++question_;
    for (long long cx = range[0][0]; cx <= range[0][1]; ++cx) {
        for (long long cy = range[1][0]; cy <= range[1][1]; ++cy) {
            for (long long cz = range[2][0]; cz <= range[2][1]; ++cz) collect(cx, cy, cz, b, n);
        }
    }
    for (int q = 0; q < outsideCount_; ++q) {
        const int j = outside_[q];
        if (b.overlaps(bounds_[j])) found_[n++] = j;
    }
    std::sort(found_.data(), found_.data() + n);
    return {found_.data(), found_.data() + n};
}

}  // namespace prallwerk
