#include "scoring/ResultCode.h"

namespace {
ResultCodeTexts g_codeTexts;
}  // namespace

std::optional<ResultCode> ResultCodeTexts::FromText(KStringView text) const {
    if (text.empty()) return std::nullopt;
    for (size_t code = 1; code < texts.size(); ++code) {
        if (texts[code] == text) return static_cast<ResultCode>(code);
    }
    return std::nullopt;
}

KStringView ResultCodeTexts::Text(ResultCode code) const {
    const auto number = static_cast<int32_t>(code);
    if (number < 1 || number >= static_cast<int32_t>(texts.size())) return {};
    return texts[static_cast<size_t>(number)];
}

const ResultCodeTexts& CurrentResultCodeTexts() { return g_codeTexts; }

void SetResultCodeTexts(const ResultCodeTexts& texts) { g_codeTexts = texts; }
