#pragma once

// The event window's division into panes: the layout entries of Event\Layout\ read into panes,
// and the layout that gives the area of a pane without content to its neighbours. Rectangles are
// in percent of the window; the window turns them into pixels with PixelEdges.

#include <optional>
#include <vector>

#include "foundation/KString.h"

class KLog;
class KRGroup;

enum class VZPaneKind { Summary = 1, Results = 2, Standings = 3 };

/// Left, top, right, bottom; empty when right <= left or bottom <= top.
struct VZRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool Empty() const { return right <= left || bottom <= top; }
    friend bool operator==(const VZRect&, const VZRect&) = default;
};

struct VZPane {
    KString name;
    VZPaneKind kind = VZPaneKind::Summary;
    VZRect configured;
    VZRect working;  ///< the one in force after Layout
    KString docking;
    bool hasContent = false;
};

/// Inclusive pixel edges of a pane in a window of the given size.
struct VZPixelEdges {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class VZPaneLayout {
public:
    /// The line an entry that cannot be read leaves in the log.
    static constexpr KStringView kLoadError = u"VZEventMDI::VZEventMDI: error loading pane";

    /// One entry: the kind from the name's beginning (Summary, Results, Standings, without regard
    /// to case), then "left,top,right,bottom,docking word" (without a fifth field the whole value
    /// is the docking word). Percentages outside 0..100 are held to it. Nothing when the name
    /// matches no kind or one of the four numbers is missing or not an integer.
    static std::optional<VZPane> ReadEntry(KStringView name, KStringView value);
    /// Every String child of `group`, in order; an entry that cannot be read is logged to `log`
    /// (may be null) and left out.
    static std::vector<VZPane> ReadEntries(const KRGroup* group, KLog* log);
    /// Creates Event\Layout\ with the three standard panes when it does not exist; their docking
    /// words are the language's Strings\Event\Layout\Left and ...\Bottom.
    static void EnsureDefaults(class KRegistry& settings);

    /// Working rectangles from the configured ones: panes without content give their area to
    /// neighbours that have content (whole edges first, then once a part of an edge), and what
    /// no neighbour takes is left empty.
    static void Layout(std::vector<VZPane>& panes);

    /// Left and top at their percentages; right and bottom 1 pixel short of theirs at 100 and 2
    /// pixels short otherwise, so adjacent panes keep a one-pixel separation.
    static VZPixelEdges PixelEdges(const VZRect& rect, int width, int height);
};
