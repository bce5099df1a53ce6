#pragma once

// The column boundaries of the event window's summary pane: per group, cumulative pixel positions
// starting at 0. The defaults come from character widths until the operator drags a boundary;
// the dragged boundaries are kept with the event and become the group's defaults.

#include <cstdint>
#include <vector>

struct EventSummaryColumns;

class VZSummaryColumns {
public:
    static constexpr int kEventGroup = 0;
    static constexpr int kScoringGroup = 1;

    /// Column widths in pixels: the stored boundaries of `group` when they are set, else its
    /// default character widths (event 15, 3, 3, 3, 15; scoring 10, 5, 5, 5) times `charWidth`.
    static std::vector<int32_t> DefaultWidths(int group, const EventSummaryColumns& stored,
                                              int32_t charWidth);

    /// Boundaries (0, then each column's right edge) for a pane `width` pixels wide. Wider than
    /// the widths' total: the first column keeps its width, every later column but the second
    /// gets an equal share of the extra and the second takes the rest. Narrower: the difference
    /// is taken from the last column backwards, each giving at most its whole width.
    static std::vector<int32_t> Fit(std::vector<int32_t> widths, int32_t width);

    /// Widths between consecutive boundaries.
    static std::vector<int32_t> Widths(const std::vector<int32_t>& boundaries);
};
