#include "ui/VZSummaryColumns.h"

#include <algorithm>
#include <numeric>

#include "scoring/EventRecord.h"

namespace {

const std::vector<int32_t> kDefaultCharWidths[EventSummaryColumns::kGroupCount] = {{15, 3, 3, 3, 15},
                                                                                   {10, 5, 5, 5}};

}  // namespace

std::vector<int32_t> VZSummaryColumns::DefaultWidths(int group, const EventSummaryColumns& stored,
                                                     int32_t charWidth) {
    const std::vector<int32_t>& boundaries = stored.groups[group];
    if (boundaries.size() == EventSummaryColumns::kBoundaryCounts[group]) return Widths(boundaries);
    std::vector<int32_t> widths = kDefaultCharWidths[group];
    for (int32_t& w : widths) w *= charWidth;
    return widths;
}

std::vector<int32_t> VZSummaryColumns::Fit(std::vector<int32_t> widths, int32_t width) {
    const int64_t total = std::accumulate(widths.begin(), widths.end(), int64_t{0});
    const int64_t columns = static_cast<int64_t>(widths.size());
    if (width > total && columns > 1) {
        const int64_t extra = width - total;
        const int64_t share = extra / (columns - 1);
        for (size_t i = 2; i < widths.size(); ++i) widths[i] += static_cast<int32_t>(share);
        widths[1] += static_cast<int32_t>(extra - share * (columns - 2));
    } else if (width < total) {
        int64_t missing = total - std::max<int32_t>(width, 0);
        for (size_t i = widths.size(); i-- > 0 && missing > 0;) {
            const int64_t taken = std::min<int64_t>(missing, std::max<int32_t>(widths[i], 0));
            widths[i] -= static_cast<int32_t>(taken);
            missing -= taken;
        }
    }
    std::vector<int32_t> boundaries{0};
    for (const int32_t w : widths) boundaries.push_back(boundaries.back() + w);
    return boundaries;
}

std::vector<int32_t> VZSummaryColumns::Widths(const std::vector<int32_t>& boundaries) {
    std::vector<int32_t> widths;
    for (size_t i = 1; i < boundaries.size(); ++i)
        widths.push_back(std::max(boundaries[i] - boundaries[i - 1], 0));
    return widths;
}
