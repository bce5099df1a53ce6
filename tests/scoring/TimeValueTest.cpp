#include "scoring/TimeValue.h"

#include <gtest/gtest.h>

#include "foundation/KBinaryData.h"
#include "foundation/KError.h"

namespace {

// Seconds and ten-thousandths as ticks, so expectations read as times.
TickCount Seconds(int64_t seconds, int64_t tenThousandths = 0) {
    return TickCount::FromInt64(seconds * 80000 + tenThousandths * 8);
}

const TimeFormat kDefault;

KString Format(const TimeValue& t, TickCount precision, std::optional<RoundMethod> method = RoundMethod::Up,
               int32_t cutoffMs = 0) {
    return FormatTime(t, precision, method, cutoffMs, kDefault);
}

}  // namespace

TEST(TickCount, NamedCountsAreExact) {
    EXPECT_EQ(kTicksSecond.Value(), 80000);
    EXPECT_EQ(kTicksSecond.Value() % kTicksFifth.Value(), 0);
    EXPECT_EQ(kTicksMinute.Value(), 60 * kTicksSecond.Value());
    EXPECT_EQ(kTicksHour.Value(), 60 * kTicksMinute.Value());
    EXPECT_EQ(kTicksDay.Value(), 6912000000LL);
    EXPECT_EQ(kTicksMillisecond, kTicksThousandth);
}

TEST(TickCount, ArithmeticWrapsAt48Bits) {
    const TickCount max = TickCount::FromInt64(TickCount::kMax);
    EXPECT_EQ((max + TickCount{1}).Value(), TickCount::kMin);
    EXPECT_EQ((-TickCount::FromInt64(TickCount::kMin)).Value(), TickCount::kMin);
    EXPECT_EQ(TickCount::FromInt64(int64_t{1} << 48).Value(), 0);
    EXPECT_EQ((kTicksDay * TickCount{3}).Value(), 3 * 6912000000LL);
    EXPECT_LT(TickCount{-1}, TickCount{0});
}

TEST(TickCount, DivisionTruncatesTowardZero) {
    auto r = TickCount{-7}.Divide(TickCount{2});
    EXPECT_EQ(r.quotient.Value(), -3);
    EXPECT_EQ(r.remainder.Value(), -1);
    r = TickCount{7}.Divide(TickCount{0});
    EXPECT_EQ(r.quotient.Value(), 0);
    EXPECT_EQ(r.remainder.Value(), 7);
}

TEST(TickCount, DecimalTextBothWays) {
    KString text = u"x";
    TickCount::FromInt64(-6912000000LL).AppendDecimal(text);
    EXPECT_EQ(text, u"x-6912000000");
    size_t pos = 1;
    EXPECT_FALSE(TickCount::ReadDecimal(text, pos));  // a sign is not a digit
    pos = 2;
    EXPECT_EQ(TickCount::ReadDecimal(text, pos)->Value(), 6912000000LL);
    EXPECT_EQ(pos, text.size());
    pos = 0;
    EXPECT_FALSE(TickCount::ReadDecimal(u"140737488355328", pos));  // 2^47 does not fit
    EXPECT_EQ(pos, 0u);
}

TEST(TimeValue, DefaultIsNoTime) {
    TimeValue t;
    EXPECT_FALSE(t.IsValid());
    EXPECT_EQ(t.GetPrecision().Value(), -1);
    EXPECT_EQ(t.GetTag(), -1);
    EXPECT_FALSE(TimeValue(TickCount{5}, TickCount{0}).IsValid());
}

TEST(TimeValue, SetPrecisionKeepsTheCoarserUnlessReplacing) {
    TimeValue t(Seconds(1), kTicksHundredth);
    t.SetPrecision(kTicksThousandth, false);
    EXPECT_EQ(t.GetPrecision(), kTicksHundredth);
    t.SetPrecision(kTicksTenth, false);
    EXPECT_EQ(t.GetPrecision(), kTicksTenth);
    t.SetPrecision(kTicksThousandth, true);
    EXPECT_EQ(t.GetPrecision(), kTicksThousandth);
}

TEST(TimeValue, SumAndDifferenceNeedTwoTimes) {
    const TimeValue a(Seconds(10), kTicksHundredth, 7);
    const TimeValue b(Seconds(2, 5000), kTicksTenth, 9);
    const TimeValue sum = a + b;
    EXPECT_EQ(sum.GetTicks(), Seconds(12, 5000));
    EXPECT_EQ(sum.GetPrecision(), kTicksTenth);
    EXPECT_EQ(sum.GetTag(), 7);
    EXPECT_EQ((a - b).GetTicks(), Seconds(7, 5000));
    EXPECT_FALSE((a + TimeValue{}).IsValid());
    EXPECT_FALSE((TimeValue{} - a).IsValid());
}

TEST(TimeValue, ComparisonLooksAtTicksOnly) {
    const TimeValue a(Seconds(3), kTicksHundredth, 1);
    const TimeValue b(Seconds(3), kTicksSecond, 2);
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a.IsIdentical(b));
    EXPECT_TRUE(TimeValue(Seconds(2), kTicksSecond) < a);
}

TEST(TimeValue, RoundingForEitherSign) {
    struct Case {
        int64_t x, step;
        RoundMethod method;
        int64_t expected;
    };
    const Case cases[] = {
        {987280, 800, RoundMethod::Up, 988000},
        {987280, 800, RoundMethod::Down, 987200},
        {987280, 800, RoundMethod::Round, 987200},
        {987600, 800, RoundMethod::Round, 988000},  // half up
        {-987280, 800, RoundMethod::Up, -987200},
        {-987280, 800, RoundMethod::Down, -988000},
        {-987280, 800, RoundMethod::Round, -987200},
        {-987600, 800, RoundMethod::Round, -987200},
        {800, 800, RoundMethod::Up, 800},
        {-800, 800, RoundMethod::Down, -800},
        {5, 0, RoundMethod::Up, 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RoundTicks(TickCount::FromInt64(c.x), TickCount::FromInt64(c.step), c.method).Value(),
                  c.expected)
            << c.x << " step " << c.step << " method " << static_cast<int>(c.method);
    }
}

TEST(TimeValue, RoundUsesTheCoarserPrecision) {
    const TimeValue t(Seconds(12, 3410), kTicksTenth);
    const TimeValue r = Round(t, kTicksHundredth, RoundMethod::Up);
    EXPECT_EQ(r.GetTicks(), Seconds(12, 4000));
    EXPECT_EQ(r.GetPrecision(), kTicksTenth);
    EXPECT_FALSE(Round(TimeValue{}, kTicksTenth).IsValid());
}

TEST(TimeValue, FormatsExamples) {
    const TimeValue t12341(Seconds(12, 3410), kTicksThousandth);
    struct Case {
        TimeValue t;
        TickCount precision;
        RoundMethod method;
        int32_t cutoff;
        KStringView expected;
    };
    const Case cases[] = {
        {TimeValue(Seconds(65, 4300), kTicksHundredth), kTicksHundredth, RoundMethod::Up, 0, u"1:05.43"},
        {TimeValue(Seconds(65, 4300), kTicksHundredth), kTicksHundredth, RoundMethod::Up, 100000, u"65.43"},
        {t12341, kTicksHundredth, RoundMethod::Up, 0, u"12.35"},
        {t12341, kTicksHundredth, RoundMethod::Down, 0, u"12.34"},
        {t12341, kTicksHundredth, RoundMethod::Round, 0, u"12.34"},
        {t12341, kTicksSecond, RoundMethod::Up, 0, u"13"},
        {TimeValue(Seconds(3725, 5000), kTicksTenth), kTicksTenth, RoundMethod::Up, 0, u"1:02:05.5"},
        {TimeValue(Seconds(90061), kTicksSecond), kTicksSecond, RoundMethod::Up, 0, u"1:01:01:01"},
        {TimeValue(Seconds(0, 4000), kTicksTenth), kTicksFifth, RoundMethod::Up, 0, u"0.2"},
        {TimeValue(Seconds(-1, -5000), kTicksHundredth), kTicksHundredth, RoundMethod::Up, 0, u"-1.50"},
        {TimeValue(-Seconds(12, 3410), kTicksThousandth), kTicksHundredth, RoundMethod::Up, 0, u"-12.34"},
        {TimeValue(-Seconds(12, 3410), kTicksThousandth), kTicksHundredth, RoundMethod::Down, 0, u"-12.35"},
        // Measured at hundredths, never shown at thousandths.
        {TimeValue(Seconds(9, 8700), kTicksHundredth), kTicksThousandth, RoundMethod::Up, 0, u"9.87"},
        {TimeValue(Seconds(0), kTicksSecond), kTicksSecond, RoundMethod::Up, 0, u"0"},
        {TimeValue(Seconds(0, 500), kTicksThousandth), kTicksThousandth, RoundMethod::Up, 0, u"0.050"},
        {TimeValue(Seconds(7200), kTicksSecond), kTicksSecond, RoundMethod::Up, 0, u"2:00:00"},
        {TimeValue(Seconds(86400 + 5), kTicksSecond), kTicksSecond, RoundMethod::Up, 0, u"1:00:00:05"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToUtf8(Format(c.t, c.precision, c.method, c.cutoff)), ToUtf8(c.expected));
    }
}

TEST(TimeValue, FractionDigitsFollowThePrecision) {
    const TimeValue t(Seconds(1, 2345), kTicksUnit);
    struct Case {
        TickCount precision;
        KStringView expected;
    };
    const Case cases[] = {
        {kTicksUnit, u"1.18760"},     {kTicksTenThousandth, u"1.2345"},
        {kTicksThousandth, u"1.235"}, {kTicksHundredth, u"1.24"},
        {kTicksTwentieth, u"1.05"},   {kTicksTenth, u"1.3"},
        {kTicksFifth, u"1.2"},        {kTicksSecond, u"2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToUtf8(Format(t, c.precision, RoundMethod::Up)), ToUtf8(c.expected)) << c.precision.Value();
    }
}

TEST(TimeValue, MinuteSuppressionBelowTheCappedCutoff) {
    const TimeValue t65(Seconds(65, 4300), kTicksHundredth);
    const TimeValue t150(Seconds(150), kTicksHundredth);
    const TimeValue hour(Seconds(3605), kTicksHundredth);
    EXPECT_EQ(Format(t65, kTicksHundredth, RoundMethod::Up, 60000), u"1:05.43");  // above the cutoff
    EXPECT_EQ(Format(t65, kTicksHundredth, RoundMethod::Up, 70000), u"65.43");
    EXPECT_EQ(Format(t150, kTicksHundredth, RoundMethod::Up, 500000), u"2:30.00");  // capped at 100 s
    EXPECT_EQ(Format(t65, kTicksHundredth, RoundMethod::Up, -5), u"1:05.43");
    EXPECT_EQ(Format(hour, kTicksHundredth, RoundMethod::Up, 100000), u"1:00:05.00");
    EXPECT_EQ(Format(TimeValue(Seconds(5), kTicksHundredth), kTicksHundredth, RoundMethod::Up, 100000),
              u"5.00");
}

TEST(TimeValue, InvalidFormatsAsNothing) {
    KString text = u"x";
    FormatTime(TimeValue{}, text, kTicksHundredth, std::nullopt, 0, kDefault);
    EXPECT_EQ(text, u"x");
}

TEST(TimeValue, ProcessWideRoundingAppliesWithoutAMethod) {
    const TimeValue t(Seconds(12, 3410), kTicksThousandth);
    TimeFormat down;
    down.roundMethod = RoundMethod::Down;
    EXPECT_EQ(FormatTime(t, kTicksHundredth, std::nullopt, 0, down), u"12.34");
    EXPECT_EQ(FormatTime(t, kTicksHundredth, std::nullopt, 0, kDefault), u"12.35");
    EXPECT_EQ(RoundMethodFromNumber(7), RoundMethod::Up);
    EXPECT_EQ(RoundMethodFromNumber(2), RoundMethod::Round);
}

TEST(TimeValue, ConfiguredSeparators) {
    TimeFormat format;
    format.negativeSign = u'~';
    format.dayHourSeparator = u'd';
    format.hourMinuteSeparator = u'h';
    format.minuteSecondSeparator = u'\'';
    format.secondFractionSeparator = u',';
    const TimeValue t(-Seconds(90061, 2500), kTicksHundredth);
    const KString text = FormatTime(t, kTicksHundredth, RoundMethod::Up, 0, format);
    EXPECT_EQ(text, u"~1d01h01'01,25");
    const auto back = ParseTime(text, format);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetTicks(), t.GetTicks());
    EXPECT_EQ(back->GetPrecision(), kTicksHundredth);
}

TEST(TimeValue, ParsesExamples) {
    struct Case {
        KStringView text;
        int64_t ticks;
        int64_t precision;
    };
    const Case cases[] = {
        {u"1:05.43", 5234400, 800},
        {u"0", 0, 80000},
        {u"12.3456789", 987648, 8},
        {u"12.3m", 984000, 8000},
        {u"12.345A", 987600, 80},
        {u"12.3x", 984000, 8000},  // other trailing text is ignored
        {u"12", 960000, 80000},
        {u"12.", 960000, 80000},
        {u".5", 40000, 8000},
        {u"-.5", -40000, 8000},
        {u"-1.50", -120000, 800},
        {u"1:02:05.5", 298040000, 8000},
        {u"1:01:01:01", 7204880000LL, 80000},
        {u"1:2:3:4:5", 7502720000LL, 80000},  // a fifth number is not read
        {u"0.0001", 8, 8},
    };
    for (const Case& c : cases) {
        const auto t = ParseTime(c.text, kDefault);
        ASSERT_TRUE(t) << ToUtf8(c.text);
        EXPECT_EQ(t->GetTicks().Value(), c.ticks) << ToUtf8(c.text);
        EXPECT_EQ(t->GetPrecision().Value(), c.precision) << ToUtf8(c.text);
        EXPECT_TRUE(t->IsValid());
    }
}

TEST(TimeValue, RejectsTextsThatAreNoTime) {
    for (KStringView text : {u"", u"abc", u"-", u".", u"-.", u"1:", u"1:x", u":5", u"m",
                             u"1759218604441600000", u"20000000:0:0:0"}) {
        EXPECT_FALSE(ParseTime(text, kDefault)) << ToUtf8(text);
    }
}

TEST(TimeValue, StoreAndLoadKeepEveryField) {
    const TimeValue t(TickCount::FromInt64(-6912000000LL * 3 - 17), kTicksThousandth, 42);
    KBinaryWriter out;
    t.Store(out);
    TimeValue{}.Store(out);
    EXPECT_EQ(out.Size(), 2u * (4 + 6 + 6 + 4));
    KBinaryReader in(out.Bytes());
    EXPECT_TRUE(TimeValue::Load(in).IsIdentical(t));
    EXPECT_TRUE(TimeValue::Load(in).IsIdentical(TimeValue{}));
    EXPECT_TRUE(in.AtEnd());
}

TEST(TimeValue, LoadRefusesOtherVersionsAndShortData) {
    KBinaryWriter out;
    out.WriteWord(0x20002);
    out.WriteTicks(0);
    out.WriteTicks(800);
    out.WriteInt(-1);
    KBinaryReader wrongVersion(out.Bytes());
    try {
        TimeValue::Load(wrongVersion);
        FAIL();
    } catch (const KError& e) {
        EXPECT_EQ(e.Code(), 3009);
    }
    KBinaryWriter good;
    TimeValue(TickCount{1}, TickCount{1}).Store(good);
    KBinaryReader shortData(std::span(good.Bytes()).first(good.Size() - 1));
    try {
        TimeValue::Load(shortData);
        FAIL();
    } catch (const KError& e) {
        EXPECT_EQ(e.Code(), 3010);
    }
}
