#include "scoring/ScoringSettings.h"

#include "scoring/ResultList.h"
#include "settings/KRegistry.h"

namespace {

int32_t ReadInt(KRegistry& settings, KStringView path, int32_t fallback) {
    const KRInt* node = settings.FindInt(path);
    return node ? node->Value() : fallback;
}

bool ReadBool(KRegistry& settings, KStringView path, bool fallback) {
    const KRBool* node = settings.FindBool(path);
    return node ? node->Value() : fallback;
}

void ReadChar(KRegistry& settings, KStringView path, KChar& target) {
    const KString text = settings.GetText(path);
    if (!text.empty()) target = text.front();
}

}  // namespace

ScoringRules ReadScoringRules(KRegistry& settings) {
    ScoringRules rules;
    rules.minRunners = ReadInt(settings, u"\\Scoring\\MinRunners", rules.minRunners);
    rules.numScorers = ReadInt(settings, u"\\Scoring\\NumScorers", rules.numScorers);
    rules.maxDisplacers = ReadInt(settings, u"\\Scoring\\MaxDisplacers", rules.maxDisplacers);
    rules.resetScores = ReadBool(settings, u"\\Scoring\\ResetScores", rules.resetScores);
    rules.lapsCountUp = ReadBool(settings, u"\\Scoring\\LapsToGoDir", rules.lapsCountUp);
    rules.unatDisplaces = ReadBool(settings, u"\\Scoring\\UnatDisplaces", rules.unatDisplaces);
    return rules;
}

TimeFormat ReadTimeFormat(KRegistry& settings) {
    TimeFormat format;
    format.roundMethod = RoundMethodFromNumber(ReadInt(settings, u"\\Event\\Results\\RoundMethod", 0));
    ReadChar(settings, u"\\Strings\\Time\\NegChr", format.negativeSign);
    ReadChar(settings, u"\\Strings\\Time\\DayHourSep", format.dayHourSeparator);
    ReadChar(settings, u"\\Strings\\Time\\HourMinuteSep", format.hourMinuteSeparator);
    ReadChar(settings, u"\\Strings\\Time\\MinuteSecondSep", format.minuteSecondSeparator);
    ReadChar(settings, u"\\Strings\\Time\\SecondFracSep", format.secondFractionSeparator);
    return format;
}

ResultCodeTexts ReadResultCodeTexts(KRegistry& settings) {
    static constexpr KStringView kKeys[] = {u"DidNotStart",  u"FalseStart", u"DidNotFinish",
                                            u"Disqualified", u"Scratched",  u"Advanced"};
    ResultCodeTexts codes;
    for (size_t i = 0; i < std::size(kKeys); ++i) {
        KString text = settings.GetText(KString(u"\\Strings\\Event\\Results\\Codes\\") + KString(kKeys[i]));
        if (!text.empty()) codes.texts[i + 1] = std::move(text);
    }
    return codes;
}

TickCount ReadResultsPrecision(KRegistry& settings) {
    return ResultList::ValidPrecision(ReadInt(settings, u"\\Event\\Results\\TimePrecision", 0));
}

KString ReadResultsListName(KRegistry& settings) {
    return settings.GetText(u"\\Strings\\Event\\Results\\DefaultName");
}

void ApplyStartupScoringSettings(KRegistry& settings) {
    SetTimeFormat(ReadTimeFormat(settings));
    SetResultCodeTexts(ReadResultCodeTexts(settings));
}
