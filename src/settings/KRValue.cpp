#include "settings/KRValue.h"

#include <algorithm>
#include <limits>

namespace {

std::vector<KStringView> SplitFields(KStringView text) {
    std::vector<KStringView> fields;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(u',', start);
        if (comma == KStringView::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

}  // namespace

bool KRValue::SetValueText(KStringView text) {
    if (!ParseValue(text)) return false;
    SetValueRead(true);
    return true;
}

KRValue::ParseResult KRValue::ParseLine(KStringView line) {
    ParseResult result;
    line.remove_prefix(std::min(line.size(), Name().size()));
    if (line.empty() || line.front() != u':') return result;
    line.remove_prefix(1);
    const size_t equals = line.find(u'=');
    const std::vector<KStringView> fields = SplitFields(line.substr(0, equals));
    // The type check decides only whether a new node is created: an existing node of
    // another type still takes a value that parses as its own type.
    result.typeAccepted = EqualsNoCase(fields[0], TypeName());
    if (equals != KStringView::npos) {
        result.valueSeen = true;
        result.valueAccepted = SetValueText(line.substr(equals + 1));
        // A refused value leaves the node exactly as it was, number and bounds included.
        if (!result.valueAccepted) return result;
    }
    if (result.typeAccepted) {
        if (fields.size() > 1) {
            size_t pos = 0;
            const auto number = ParseInteger(fields[1], pos);
            if (number && *number >= std::numeric_limits<int32_t>::min() &&
                *number <= std::numeric_limits<int32_t>::max())
                SetNumber(static_cast<int32_t>(*number));
        }
        ParseBounds(fields);
    }
    return result;
}

KRNode* KRValue::Parse(KStringView line) {
    const ParseResult result = ParseLine(line);
    return result.valueSeen && !result.valueAccepted ? nullptr : this;
}

KString KRValue::TypePart() const { return KString(TypeName()) + u',' + ToKString(Number()); }

void KRValue::Write(KStringView prefix, const KRLineSink& sink) const {
    KString line(prefix);
    line += Name();
    line += u':';
    line += TypePart();
    line += u'=';
    line += ValueText();
    sink(line);
}
