#include "foundation/KAlerts.h"

KString ExpandLineBreaks(KStringView text) {
    KString result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size() && text[i + 1] == u'n') {
            result += u"\r\n";
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}
