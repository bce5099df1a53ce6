#include "ui/VZPaneLayout.h"

#include <algorithm>

#include "foundation/KLog.h"
#include "settings/KRegistry.h"

namespace {

struct KindPrefix {
    KStringView prefix;
    VZPaneKind kind;
};
constexpr KindPrefix kKinds[] = {{u"Summary", VZPaneKind::Summary},
                                 {u"Results", VZPaneKind::Results},
                                 {u"Standings", VZPaneKind::Standings}};

std::optional<int> Percent(KStringView text) {
    text = Trim(text);
    const bool negative = !text.empty() && text.front() == u'-';
    if (negative || (!text.empty() && text.front() == u'+')) text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    int value = 0;
    for (const KChar c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = std::min(value * 10 + (c - u'0'), 1000);  // held to 0..100 below; no overflow
    }
    return std::clamp(negative ? -value : value, 0, 100);
}

// Offers each empty pane to the panes with content in turn until `take` has one of them take
// some of its area; true when any pane changed.
template <class Take>
bool OfferEmptyPanes(std::vector<VZPane>& panes, Take take) {
    bool changed = false;
    for (VZPane& empty : panes) {
        if (empty.hasContent || empty.working.Empty()) continue;
        for (VZPane& neighbour : panes) {
            if (!neighbour.hasContent || neighbour.working.Empty()) continue;
            if (take(neighbour.working, empty.working)) {
                changed = true;
                break;
            }
        }
    }
    return changed;
}

// An empty pane's area goes to a neighbour with content that covers one of its edges whole.
bool WholeEdgeRound(std::vector<VZPane>& panes) {
    return OfferEmptyPanes(panes, [](VZRect& n, VZRect& e) {
        if (n.top == e.top && n.bottom == e.bottom && (n.right == e.left || n.left == e.right)) {
            n.left = std::min(n.left, e.left);
            n.right = std::max(n.right, e.right);
        } else if (n.left == e.left && n.right == e.right && (n.bottom == e.top || n.top == e.bottom)) {
            n.top = std::min(n.top, e.top);
            n.bottom = std::max(n.bottom, e.bottom);
        } else {
            return false;
        }
        e = VZRect{};
        return true;
    });
}

// A neighbour along part of an edge, flush with one end of it, grows over that part; the empty
// pane keeps the rest.
bool PartEdgeRound(std::vector<VZPane>& panes) {
    return OfferEmptyPanes(panes, [](VZRect& n, VZRect& e) {
        const bool beside = n.right == e.left || n.left == e.right;
        const bool above = n.bottom == e.top || n.top == e.bottom;
        if (beside && n.top == e.top && n.bottom < e.bottom) {
            n.left = std::min(n.left, e.left), n.right = std::max(n.right, e.right);
            e.top = n.bottom;
        } else if (beside && n.bottom == e.bottom && n.top > e.top) {
            n.left = std::min(n.left, e.left), n.right = std::max(n.right, e.right);
            e.bottom = n.top;
        } else if (above && n.left == e.left && n.right < e.right) {
            n.top = std::min(n.top, e.top), n.bottom = std::max(n.bottom, e.bottom);
            e.left = n.right;
        } else if (above && n.right == e.right && n.left > e.left) {
            n.top = std::min(n.top, e.top), n.bottom = std::max(n.bottom, e.bottom);
            e.right = n.left;
        } else {
            return false;
        }
        return true;
    });
}

}  // namespace

std::optional<VZPane> VZPaneLayout::ReadEntry(KStringView name, KStringView value) {
    VZPane pane;
    pane.name = KString(name);
    const KindPrefix* kind = std::find_if(std::begin(kKinds), std::end(kKinds), [&](const KindPrefix& k) {
        return StartsWithNoCase(name, k.prefix);
    });
    if (kind == std::end(kKinds)) return std::nullopt;
    pane.kind = kind->kind;

    int* edges[] = {&pane.configured.left, &pane.configured.top, &pane.configured.right,
                    &pane.configured.bottom};
    KStringView rest = value;
    for (size_t i = 0; i < 4; ++i) {
        const size_t comma = rest.find(u',');
        if (comma == KStringView::npos && i < 3) return std::nullopt;
        const std::optional<int> percent = Percent(rest.substr(0, comma));
        if (!percent) return std::nullopt;
        *edges[i] = *percent;
        // Without a fifth field the whole value names the side.
        rest = comma == KStringView::npos ? value : rest.substr(comma + 1);
    }
    pane.docking = KString(rest);
    pane.working = pane.configured;
    return pane;
}

std::vector<VZPane> VZPaneLayout::ReadEntries(const KRGroup* group, KLog* log) {
    std::vector<VZPane> panes;
    if (group == nullptr) return panes;
    for (const auto& child : group->Children()) {
        const auto* text = dynamic_cast<const KRString*>(child.get());
        std::optional<VZPane> pane = text ? ReadEntry(text->Name(), text->Value()) : std::nullopt;
        if (pane) {
            panes.push_back(std::move(*pane));
        } else if (log != nullptr) {
            log->LogError(kLoadError);
        }
    }
    return panes;
}

void VZPaneLayout::EnsureDefaults(KRegistry& settings) {
    if (settings.FindGroup(u"Event\\Layout\\") != nullptr) return;
    if (settings.FindGroup(u"Event\\") == nullptr) settings.Define(u"Event\\:=");
    settings.Define(u"Event\\Layout\\:=");
    const KString left = settings.GetText(u"Strings\\Event\\Layout\\Left");
    const KString bottom = settings.GetText(u"Strings\\Event\\Layout\\Bottom");
    settings.Define(u"Event\\Layout\\Summary1:String=0,0,40,15," + left);
    settings.Define(u"Event\\Layout\\Standings1:String=0,15,40,100," + left);
    settings.Define(u"Event\\Layout\\Results1:String=40,0,100,100," + bottom);
}

void VZPaneLayout::Layout(std::vector<VZPane>& panes) {
    for (VZPane& pane : panes) pane.working = pane.configured;
    bool partUsed = false;
    for (;;) {
        if (WholeEdgeRound(panes)) continue;
        if (partUsed) break;
        partUsed = true;
        if (!PartEdgeRound(panes)) break;
    }
    for (VZPane& pane : panes) {
        if (!pane.hasContent) pane.working = VZRect{};
    }
}

VZPixelEdges VZPaneLayout::PixelEdges(const VZRect& rect, int width, int height) {
    const auto edge = [](int percent, int size) {
        return static_cast<int>(static_cast<long long>(percent) * size / 100);
    };
    const auto far = [&](int percent, int size) { return edge(percent, size) - (percent == 100 ? 1 : 2); };
    return {edge(rect.left, width), edge(rect.top, height), far(rect.right, width), far(rect.bottom, height)};
}
