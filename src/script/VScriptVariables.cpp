#include "script/VScriptVariables.h"

#include "scoring/EventRecord.h"
#include "scoring/ResultList.h"
#include "scoring/ResultRecord.h"
#include "script/VLineFormat.h"

namespace {

constexpr KStringView kNoData = u"no data";

KString WindText(const std::optional<VWindReading>& wind, const VScriptSettings& settings) {
    if (!wind || !wind->valid) return settings.noWind;
    return wind->value + u' ' + wind->units;
}

KString NumberOrZero(const KString& text) { return text.empty() ? KString(u"0") : text; }

// "0", "3", "1/2" or "3 1/2"; nothing when the denominator is 0.
KString MixedFraction(int64_t numerator, int64_t denominator) {
    if (denominator == 0) return {};
    if (numerator == 0) return u"0";
    // Negated through unsigned arithmetic, so the most negative numerator cannot overflow.
    const bool negative = (numerator < 0) != (denominator < 0);
    const uint64_t n =
        numerator < 0 ? 0 - static_cast<uint64_t>(numerator) : static_cast<uint64_t>(numerator);
    const uint64_t d =
        denominator < 0 ? 0 - static_cast<uint64_t>(denominator) : static_cast<uint64_t>(denominator);
    KString text;
    const uint64_t whole = n / d;
    const uint64_t remainder = n % d;
    if (whole > 0 && !negative) text = ToKString(static_cast<long long>(whole));
    if (remainder != 0) {
        if (!text.empty()) text += u' ';
        // A negative fraction shows its truncated whole part nowhere and its remainder with the sign.
        if (negative) text += u'-';
        text += ToKString(static_cast<long long>(remainder)) + u'/' + ToKString(static_cast<long long>(d));
    }
    return text;
}

KString ClockValue(int variable, const VUpdateRecord& r) {
    if (!r.time.IsValid()) return {};
    switch (variable) {
        case 1:
            return DecimalAligned(r.time, r.precision, 0);
        case 3:
            return DecimalAligned(r.time, kTicksThousandth, 0);
        case 4:
            return DecimalAligned(r.time, kTicksTenThousandth, 0);
        case 5:
            return DecimalAligned(r.time, kTicksTenth, 0);
        case 6:
            return DecimalAligned(r.time, kTicksHundredth, 0);
        case 7:
            return ToKString(static_cast<long long>(r.counter) + 1);
        default:
            return {};
    }
}

KString HeaderValue(int variable, const VUpdateRecord& r, const VScriptSettings& s, int32_t cutoff) {
    const bool needsList = variable == 8 || variable > 15;
    if (needsList ? (r.event == nullptr || r.list == nullptr) : r.snapshot == nullptr)
        return KString(kNoData);
    if (needsList) {
        if (variable == 8) return ToKString(static_cast<long long>(r.list->Count(r.list->CurrentFilter())));
        return {};
    }
    const VEventSnapshot& snap = *r.snapshot;
    switch (variable) {
        case 1:
            return snap.official ? s.official : s.unofficial;
        case 2:
            return snap.name;
        case 3:
            return WindText(snap.wind, s);
        case 4:
            return NumberOrZero(snap.eventNumber);
        case 5:
            return NumberOrZero(snap.roundNumber);
        case 6:
            return NumberOrZero(snap.heatNumber);
        case 7:
            return snap.automaticStart ? s.automaticStart : s.manualStart;
        case 9:
            return snap.armed ? s.clockArmed : s.clockRunning;
        case 10:
            return MixedFraction(snap.distanceNumerator, snap.distanceDenominator);
        case 11:
            return ToKString(static_cast<long long>(snap.counter) + 1);
        case 13:
            return DecimalAligned(snap.time, kTicksTenThousandth, cutoff);
        case 14:
            return DecimalAligned(snap.time, kTicksThousandth, cutoff);
        case 15:
            return DecimalAligned(snap.time, kTicksHundredth, cutoff);
        default:
            return {};
    }
}

KString ListValue(int variable, const VUpdateRecord& r, const VScriptSettings& s, int32_t cutoff) {
    if (r.record == nullptr || r.event == nullptr || r.list == nullptr) return {};
    const ResultRecord& rec = *r.record;
    const bool teams = s.filter == 1;
    const TickCount precision = s.timePrecision >= 1 && s.timePrecision <= 80000 ? TickCount(s.timePrecision)
                                                                                 : rec.EffectivePrecision();
    switch (variable) {
        case 1:
            if (!teams) return rec.PlaceText();
            return rec.NumMembers() >= s.minRunners ? ToKString(rec.Place()) : KString();
        case 2:
            return rec.Lane();
        case 3:
            return rec.Id();
        case 4: {
            KString name = s.includeFirst ? rec.FirstName() : KString();
            if (!name.empty()) name += u' ';
            return name + rec.LastName();
        }
        case 5: {
            const KString& affiliation = rec.Affiliation();
            return s.affilAbbr && affiliation.size() > 4 ? affiliation.substr(affiliation.size() - 4)
                                                         : affiliation;
        }
        case 6:
            return DecimalAligned(rec.Time(), precision, cutoff);
        case 7:
        case 21:
        case 22:
            return rec.FormatTimeField(rec.DeltaTime());
        case 8:
            return DecimalAligned(rec.CumSplitTime(), precision, cutoff);
        case 9:
            return DecimalAligned(rec.LastSplitTime(), precision, cutoff);
        case 10:
            return ToKString(rec.LapsToGo());
        case 11:
            return rec.License();
        case 12:
            return DecimalAligned(rec.ReacTime(), kTicksThousandth, cutoff);
        case 13:
            return rec.FormatTimeField(rec.Speed());
        case 14:
            return rec.FormatTimeField(rec.Pace());
        case 15:
            return DecimalAligned(rec.BestSplitTime(), precision, cutoff);
        case 16:
            return teams && rec.Points() != 0 ? ToKString(rec.Points()) : KString();
        case 17:
            return teams ? ToKString(rec.NumScorers()) : KString();
        case 23:
            return rec.FirstName();
        case 24:
            return rec.LastName();
        default:
            return {};
    }
}

}  // namespace

KString VariableValue(int group, int variable, const VUpdateRecord& record, const VScriptSettings& settings) {
    const int32_t cutoff =
        settings.suppressMinute != 0 && settings.suppressCutoff != 0 ? settings.suppressCutoff : 0;
    switch (group) {
        case 17:
            return ClockValue(variable, record);
        case 18:
            if (!record.wind || variable != 1) return {};
            return WindText(record.wind, settings);
        case 19:
            return HeaderValue(variable, record, settings, cutoff);
        case 20:
            return ListValue(variable, record, settings, cutoff);
        case 22:
            return variable == 1 && record.messageLine != nullptr ? *record.messageLine : KString();
        default:
            return {};
    }
}

std::optional<uint32_t> BinaryValue(int group, int variable, const VUpdateRecord& record) {
    if (variable != 2) return std::nullopt;
    if (group == 17 && record.time.IsValid()) {
        const TimeValue rounded = Round(record.time, record.precision);
        return static_cast<uint32_t>(rounded.GetTicks().Divide(kTicksThousandth).quotient.Value());
    }
    if (group == 18 && record.wind) return static_cast<uint32_t>(record.wind->number);
    return std::nullopt;
}
