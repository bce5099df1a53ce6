#include "ui/VZMenuText.h"

namespace {

bool IsDigit(KChar c) { return c >= u'0' && c <= u'9'; }

KChar Upper(KChar c) { return c >= u'a' && c <= u'z' ? static_cast<KChar>(c - u'a' + u'A') : c; }

// F and up to two digits; anything longer cannot name a key.
int FunctionNumber(KStringView text) {
    if (text.size() < 2 || text.size() > 3 || Upper(text[0]) != u'F') return -1;
    int number = 0;
    for (const KChar c : text.substr(1)) {
        if (!IsDigit(c)) return -1;
        number = number * 10 + (c - u'0');
    }
    return number;
}

}  // namespace

VZMenuText VZMenuText::Parse(KStringView text) {
    VZMenuText result;
    const size_t comma = text.find(u',');
    const KStringView label = text.substr(0, comma);
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == u'&') {
            if (++i >= label.size()) break;
            if (label[i] != u'&' && result.mnemonic < 0)
                result.mnemonic = static_cast<int>(result.label.size());
        }
        result.label += label[i];
    }
    if (comma == KStringView::npos) return result;

    KStringView accelerator = text.substr(comma + 1);
    if (accelerator.empty()) return result;
    while (accelerator.size() >= 3 && accelerator[1] == u'+') {
        switch (Upper(accelerator[0])) {
            case u'A':
                result.alt = true;
                break;
            case u'C':
                result.ctrl = true;
                break;
            case u'S':
                result.shift = true;
                break;
            default:
                break;
        }
        accelerator.remove_prefix(2);
    }
    if (const int number = FunctionNumber(accelerator); number >= 0) {
        // F0 or F99 is no key at all; the item keeps its label and gets no accelerator.
        if (number < 1 || number > kMaxFunctionKey) return VZMenuText{result.label, result.mnemonic};
        result.functionKey = number;
    } else {
        result.key = Upper(accelerator[0]);
    }
    if (!result.alt && !result.ctrl && result.functionKey == 0) result.ctrl = true;
    return result;
}

KString VZMenuText::AcceleratorText(const VZModifierNames& names) const {
    if (!HasAccelerator()) return {};
    KString text;
    if (shift) text += names.shift + u"+";
    if (ctrl) text += names.ctrl + u"+";
    if (alt) text += names.alt + u"+";
    if (functionKey > 0) return text + names.function + ToKString(functionKey);
    return text + key;
}

KString VZMenuText::MarkedLabel() const {
    KString marked;
    for (size_t i = 0; i < label.size(); ++i) {
        if (static_cast<int>(i) == mnemonic) marked += u'&';
        marked += label[i];
        if (label[i] == u'&') marked += u'&';
    }
    return marked;
}
