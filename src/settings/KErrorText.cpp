#include "settings/KErrorText.h"

namespace {

/// A lookup that may not create anything: the path carries no type or value.
KString Text(const KRegistry& settings, const KString& path) {
    return const_cast<KRegistry&>(settings).GetText(path);
}

}  // namespace

KString ComposeErrorText(const KRegistry* settings, int code, int subcode) {
    KString text;
    if (settings != nullptr) {
        text = Text(*settings, u"Strings\\Errors\\" + ToKString(code));
        if (text.empty()) {
            // Rounded down, also for negative codes, so the class never looks like another.
            const long long thousand = (static_cast<long long>(code) - (((code % 1000) + 1000) % 1000));
            text = Text(*settings, u"Strings\\Errors\\" + ToKString(thousand));
        }
        if (text.empty()) text = Text(*settings, u"Strings\\Alerts\\OperationFailed");
    }
    if (text.empty()) text = u"Operation failed";
    text += u" (" + ToKString(code);
    if (subcode >= 0) text += u',' + ToKString(subcode);
    text += u").";
    return text;
}
