#include "scoring/TimeValue.h"

#include <gtest/gtest.h>

#include "foundation/KBinaryData.h"
#include "support/KTempFolder.h"

namespace {

// Seconds and ten-thousandths as ticks, so expectations read as times.
TickCount Seconds(int64_t seconds, int64_t tenThousandths = 0) {
    return TickCount::FromInt64(seconds * 80000 + tenThousandths * 8);
}

const TimeFormat kDefault;

}  // namespace

TEST(TickCount, ExactIn48BitsWithTruncatingDivision) {
    EXPECT_EQ((kTicksDay * TickCount{3}).Value(), 3 * 6912000000LL);
    EXPECT_EQ((TickCount::FromInt64(TickCount::kMax) + TickCount{1}).Value(), TickCount::kMin);
    EXPECT_EQ(TickCount::FromInt64(int64_t{1} << 48).Value(), 0);
    auto r = TickCount{-7}.Divide(TickCount{2});
    EXPECT_EQ(r.quotient.Value(), -3);
    EXPECT_EQ(r.remainder.Value(), -1);
    r = TickCount{7}.Divide(TickCount{0});  // no crash: quotient 0, the rest remains
    EXPECT_EQ(r.remainder.Value(), 7);
}

TEST(TimeValue, ValidityPrecisionArithmeticAndComparison) {
    EXPECT_FALSE(TimeValue{}.IsValid());
    EXPECT_EQ(TimeValue{}.GetTag(), -1);
    EXPECT_FALSE(TimeValue(TickCount{5}, TickCount{0}).IsValid());

    TimeValue t(Seconds(1), kTicksHundredth);
    t.SetPrecision(kTicksThousandth, false);  // the coarser is kept
    EXPECT_EQ(t.GetPrecision(), kTicksHundredth);
    t.SetPrecision(kTicksThousandth, true);
    EXPECT_EQ(t.GetPrecision(), kTicksThousandth);

    const TimeValue a(Seconds(10), kTicksHundredth, 7);
    const TimeValue b(Seconds(2, 5000), kTicksTenth, 9);
    EXPECT_TRUE((a + b).IsIdentical(TimeValue(Seconds(12, 5000), kTicksTenth, 7)));
    EXPECT_TRUE((a - b).IsIdentical(TimeValue(Seconds(7, 5000), kTicksTenth, 7)));
    EXPECT_FALSE((a + TimeValue{}).IsValid());
    EXPECT_FALSE((TimeValue{} - a).IsValid());

    EXPECT_TRUE(TimeValue(Seconds(10), kTicksSecond, 1) == a);  // ticks only
    EXPECT_FALSE(TimeValue(Seconds(10), kTicksSecond, 1).IsIdentical(a));
    EXPECT_TRUE(b < a);
}

TEST(TimeValue, RoundingForEitherSign) {
    const std::tuple<int64_t, int64_t, RoundMethod, int64_t> cases[] = {
        // ticks, step, method, rounded
        {987280, 800, RoundMethod::Up, 988000},      {987280, 800, RoundMethod::Down, 987200},
        {987280, 800, RoundMethod::Round, 987200},   {987600, 800, RoundMethod::Round, 988000},  // half up
        {-987280, 800, RoundMethod::Up, -987200},    {-987280, 800, RoundMethod::Down, -988000},
        {-987280, 800, RoundMethod::Round, -987200}, {-987600, 800, RoundMethod::Round, -987200},
        {-800, 800, RoundMethod::Down, -800},        {5, 0, RoundMethod::Up, 5},
    };
    for (const auto& [x, step, method, expected] : cases) {
        EXPECT_EQ(RoundTicks(TickCount::FromInt64(x), TickCount::FromInt64(step), method).Value(), expected)
            << x << " step " << step << " method " << static_cast<int>(method);
    }
    // The step is the coarser of the one asked for and the time's own.
    const TimeValue r = Round(TimeValue(Seconds(12, 3410), kTicksTenth), kTicksHundredth, RoundMethod::Up);
    EXPECT_TRUE(r.IsIdentical(TimeValue(Seconds(12, 4000), kTicksTenth)));
    EXPECT_FALSE(Round(TimeValue{}, kTicksTenth).IsValid());
}

TEST(TimeValue, FormatsEveryPrecisionFieldAndCutoff) {
    const TimeValue t12341(Seconds(12, 3410), kTicksThousandth);
    const TimeValue t65(Seconds(65, 4300), kTicksHundredth);
    const TimeValue fine(Seconds(1, 2345), kTicksUnit);
    const std::tuple<TimeValue, TickCount, RoundMethod, int32_t, KStringView> cases[] = {
        {t12341, kTicksHundredth, RoundMethod::Up, 0, u"12.35"},
        {t12341, kTicksHundredth, RoundMethod::Down, 0, u"12.34"},
        {TimeValue(-Seconds(12, 3410), kTicksThousandth), kTicksHundredth, RoundMethod::Up, 0, u"-12.34"},
        {TimeValue(-Seconds(12, 3410), kTicksThousandth), kTicksHundredth, RoundMethod::Down, 0, u"-12.35"},
        {TimeValue(Seconds(-1, -5000), kTicksHundredth), kTicksHundredth, RoundMethod::Up, 0, u"-1.50"},
        {TimeValue(Seconds(3725, 5000), kTicksTenth), kTicksTenth, RoundMethod::Up, 0, u"1:02:05.5"},
        {TimeValue(Seconds(86405), kTicksSecond), kTicksSecond, RoundMethod::Up, 0, u"1:00:00:05"},
        {TimeValue(Seconds(0, 4000), kTicksTenth), kTicksFifth, RoundMethod::Up, 0, u"0.2"},  // two fifths
        {TimeValue(Seconds(0, 500), kTicksThousandth), kTicksThousandth, RoundMethod::Up, 0, u"0.050"},
        // Measured at hundredths, never shown at thousandths.
        {TimeValue(Seconds(9, 8700), kTicksHundredth), kTicksThousandth, RoundMethod::Up, 0, u"9.87"},
        {TimeValue{}, kTicksHundredth, RoundMethod::Up, 0, u""},
        // Fraction digits by precision.
        {fine, kTicksUnit, RoundMethod::Up, 0, u"1.18760"},
        {fine, kTicksTenThousandth, RoundMethod::Up, 0, u"1.2345"},
        {fine, kTicksThousandth, RoundMethod::Up, 0, u"1.235"},
        {fine, kTicksHundredth, RoundMethod::Up, 0, u"1.24"},
        {fine, kTicksTwentieth, RoundMethod::Up, 0, u"1.05"},
        {fine, kTicksTenth, RoundMethod::Up, 0, u"1.3"},
        {fine, kTicksFifth, RoundMethod::Up, 0, u"1.2"},
        {fine, kTicksSecond, RoundMethod::Up, 0, u"2"},
        // Minutes suppressed below the cutoff, which is capped at 100 s; never once hours are written.
        {t65, kTicksHundredth, RoundMethod::Up, 100000, u"65.43"},
        {t65, kTicksHundredth, RoundMethod::Up, 60000, u"1:05.43"},
        {t65, kTicksHundredth, RoundMethod::Up, -5, u"1:05.43"},
        {TimeValue(Seconds(150), kTicksHundredth), kTicksHundredth, RoundMethod::Up, 500000, u"2:30.00"},
        {TimeValue(Seconds(3605), kTicksHundredth), kTicksHundredth, RoundMethod::Up, 100000, u"1:00:05.00"},
    };
    for (const auto& [t, precision, method, cutoff, expected] : cases) {
        EXPECT_EQ(ToUtf8(FormatTime(t, precision, method, cutoff, kDefault)), ToUtf8(expected));
    }
}

TEST(TimeValue, ProcessWideRoundingAndSeparatorsApply) {
    const TimeValue t(Seconds(12, 3410), kTicksThousandth);
    TimeFormat format;
    format.roundMethod = RoundMethodFromNumber(1);
    EXPECT_EQ(FormatTime(t, kTicksHundredth, std::nullopt, 0, format), u"12.34");
    EXPECT_EQ(RoundMethodFromNumber(7), RoundMethod::Up);

    format.negativeSign = u'~';
    format.dayHourSeparator = u'd';
    format.hourMinuteSeparator = u'h';
    format.minuteSecondSeparator = u'\'';
    format.secondFractionSeparator = u',';
    const TimeValue negative(-Seconds(90061, 2500), kTicksHundredth);
    const KString text = FormatTime(negative, kTicksHundredth, RoundMethod::Up, 0, format);
    EXPECT_EQ(text, u"~1d01h01'01,25");
    const auto back = ParseTime(text, format);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->IsIdentical(negative));
}

TEST(TimeValue, ParsesTimeTexts) {
    // Text, ticks, precision. "0" is a valid zero time, not no time; an "m" or "a" after the number sets
    // the precision, other trailing text is ignored; a fifth number is not read.
    const std::tuple<KStringView, int64_t, int64_t> cases[] = {
        {u"1:05.43", 5234400, 800},
        {u"0", 0, 80000},
        {u"12.3456789", 987648, 8},
        {u"12.345m", 987600, 8000},
        {u"12.345A", 987600, 80},
        {u"12.3x", 984000, 8000},
        {u"12.", 960000, 80000},
        {u"-.5", -40000, 8000},
        {u"-1.50", -120000, 800},
        {u"1:02:05.5", 298040000, 8000},
        {u"1:01:01:01", 7204880000LL, 80000},
        {u"1:2:3:4:5", 7502720000LL, 80000},
    };
    for (const auto& [text, ticks, precision] : cases) {
        const auto t = ParseTime(text, kDefault);
        ASSERT_TRUE(t) << ToUtf8(text);
        EXPECT_EQ(t->GetTicks().Value(), ticks) << ToUtf8(text);
        EXPECT_EQ(t->GetPrecision().Value(), precision) << ToUtf8(text);
    }
    for (KStringView text : {u"", u"abc", u"-", u".", u"-.", u"1:", u"1:x", u":5", u"m",
                             u"1759218604441600000", u"20000000:0:0:0"}) {
        EXPECT_FALSE(ParseTime(text, kDefault)) << ToUtf8(text);
    }
}

TEST(TimeValue, StoreAndLoadKeepEveryFieldAndRefuseOtherVersions) {
    const TimeValue t(TickCount::FromInt64(-6912000000LL * 3 - 17), kTicksThousandth, 42);
    KBinaryWriter out;
    t.Store(out);
    TimeValue{}.Store(out);
    KBinaryReader in(out.Bytes());
    EXPECT_TRUE(TimeValue::Load(in).IsIdentical(t));
    EXPECT_TRUE(TimeValue::Load(in).IsIdentical(TimeValue{}));
    EXPECT_TRUE(in.AtEnd());

    std::vector<uint8_t> bytes = out.Bytes();
    bytes[0] = 0x02;  // version 0x20002
    KBinaryReader wrongVersion(bytes);
    EXPECT_EQ(CaughtError([&] { TimeValue::Load(wrongVersion); }).first, 3009);
    KBinaryReader shortData(std::span(out.Bytes()).first(out.Size() / 2 - 1));
    EXPECT_EQ(CaughtError([&] { TimeValue::Load(shortData); }).first, 3010);
}
