// The event window's layout entries and the menu texts, both read from the settings and a
// language file: every input line is a menu text and, split at its first '=', a layout entry
// (name, value). The panes read are laid out with content on every other one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "ui/VZMenuText.h"
#include "ui/VZPaneLayout.h"

namespace {

void MenuText(KStringView line) {
    const VZMenuText text = VZMenuText::Parse(line);
    if (text.mnemonic >= static_cast<int>(text.label.size())) std::abort();
    if (text.functionKey < 0 || text.functionKey > VZMenuText::kMaxFunctionKey) std::abort();
    if (text.HasAccelerator() && !text.alt && !text.ctrl && text.functionKey == 0) std::abort();
    (void)text.AcceleratorText(VZModifierNames{});
    // The toolkit's form of the label reads back as the same label and mnemonic.
    const VZMenuText again = VZMenuText::Parse(text.MarkedLabel());
    if (again.label != text.label || again.mnemonic != text.mnemonic) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<VZPane> panes;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        const KString line = FromUtf8(bytes.substr(0, end));
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        MenuText(line);
        const size_t equals = line.find(u'=');
        if (equals == KString::npos) continue;
        if (std::optional<VZPane> pane = VZPaneLayout::ReadEntry(KStringView(line).substr(0, equals),
                                                                 KStringView(line).substr(equals + 1))) {
            pane->hasContent = panes.size() % 2 == 0;
            panes.push_back(std::move(*pane));
        }
    }
    VZPaneLayout::Layout(panes);
    for (const VZPane& pane : panes) {
        const VZRect& r = pane.working;
        if (!pane.hasContent && !r.Empty()) std::abort();
        if (!r.Empty() && (r.left < 0 || r.top < 0 || r.right > 100 || r.bottom > 100)) std::abort();
        (void)VZPaneLayout::PixelEdges(r, 1920, 1080);
    }
    return 0;
}
