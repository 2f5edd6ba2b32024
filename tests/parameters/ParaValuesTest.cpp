#include "parameters/Parameter.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace marevo {
namespace {

using test::TTestEnv;

std::unique_ptr<TParameter> Make(int number) {
    auto p = std::make_unique<TParameter>();
    p->SetDefPara(number);
    p->CreateBuffers();
    return p;
}

void Append(TLinearArray& series, const std::vector<TFlaggedValue>& values) {
    for (const TFlaggedValue& v : values)
        series.AddFV(v);
}

std::vector<TFlaggedValue> Values(const TLinearArray& series) {
    return {series.Data(), series.Data() + series.Count()};
}

constexpr TFlaggedValue V(float v) {
    return {v, 0};
}

void SetLimits(TParameter& p, bool on, float min, float max) {
    p.ParaSmooth.ValidType = on ? Validate : NoValidate;
    p.ParaSmooth.ValidMin = min;
    p.ParaSmooth.ValidMax = max;
}

// ---- Current value ------------------------------------------------------------------------

TEST(CurValue, RawParameterReadsNewestAcceptedSampleAndWritesScreenText) {
    TTestEnv env;
    auto pres = Make(101);
    pres->ParaText.Decimal[2] = 3;
    Append(*pres->PostLinBuf, {V(1), V(12.3456f)});
    TValueContext ctx;
    ctx.PostLBIndexO = 1;
    EXPECT_EQ(pres->CurValue(ctx), V(12.3456f));
    EXPECT_EQ(pres->Current, V(12.3456f));
    EXPECT_EQ(pres->CurrentStr, "    12.346");

    ctx.PostLBIndexO = 5; // beyond the series: no value, no failure
    EXPECT_EQ(pres->CurValue(ctx), InvalidFV);
    EXPECT_EQ(pres->CurrentStr, "invalid");
    EXPECT_EQ(pres->Current, V(12.3456f));
    EXPECT_TRUE(env.LogMessages().empty());
}

TEST(CurValue, ValidationLimitsKeepThePreviousValue) {
    TTestEnv env;
    auto pres = Make(101);
    SetLimits(*pres, true, 0, 100);
    Append(*pres->PostLinBuf, {V(100), V(100.01f)});
    TValueContext ctx;
    ctx.ValidateLimits = true;
    ctx.PostLBIndexO = 0;
    EXPECT_EQ(pres->CurValue(ctx), V(100));
    ctx.PostLBIndexO = 1;
    EXPECT_EQ(pres->CurValue(ctx), InvalidFV);
    EXPECT_EQ(pres->CurrentStr, "invalid");
    EXPECT_EQ(pres->Current, V(100));
    ctx.ValidateLimits = false; // the configuration's switch off: limits not applied
    EXPECT_EQ(pres->CurValue(ctx), V(100.01f));
}

TEST(CurValue, SourcesByParameterType) {
    TTestEnv env;
    TParameter timeBase;
    timeBase.Current = V(42);
    struct Case {
        TParaType type;
        bool useInputs;
        TFlaggedValue expected;
    };
    const Case cases[] = {
        {Pt_Nmea, false, InvalidFV},  {Pt_Nmea, true, V(7.5f)},      {Pt_Ext, false, InvalidFV},
        {Pt_Ext, true, V(7.5f)},      {Pt_Tims, false, V(42)},      {pt_Speed, false, V(1.25f)},
        {pt_WinchSpeed, false, V(-0.5f)}, {Pt_Acqui, false, V(3)}, {Pt_Cruise, false, InvalidFV},
        {Pt_Util, false, InvalidFV},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        TParameter p;
        p.paraRaw.ParaType = c.type;
        p.Calibrated = V(7.5f);
        p.Current = V(3);
        TValueContext ctx;
        ctx.UseNmea = ctx.UseExtPara = c.useInputs;
        ctx.TimeBase = &timeBase;
        ctx.SpeedLow = 1.25;
        ctx.WinchSpeed = -0.5;
        EXPECT_EQ(p.CurValue(ctx), c.expected);
    }
}

// Pressure 101 (raw) feeding depth 403; temperature 110 (raw) feeding the copy 401.
struct TComputedFixture {
    std::unique_ptr<TParameter> pres = Make(101);
    std::unique_ptr<TParameter> depth = Make(403);
    std::unique_ptr<TParameter> temp1 = Make(110);
    std::unique_ptr<TParameter> temp = Make(401);
    TComputedFixture() {
        depth->LinkPtr[0] = pres.get();
        temp->LinkPtr[0] = temp1.get();
    }
    static TFlaggedValue DepthOf(float pressure) {
        const TFlaggedValue in = V(pressure);
        return ComputeDerived(403, &in, nullptr, TFormulaSettings{});
    }
};

TEST(CurValue, ComputedParameterFollowsItsInputsAndTheirFlags) {
    TTestEnv env;
    TComputedFixture f;
    Append(*f.pres->PostLinBuf, {V(100), V(1000), {500, 1}});
    Append(*f.temp1->PostLinBuf, {V(12), V(13), {14, 1}});
    TValueContext ctx;
    for (int i : {0, 1}) {
        ctx.PostLBIndexO = i;
        const TFlaggedValue expected = TComputedFixture::DepthOf(i == 0 ? 100.0f : 1000.0f);
        ASSERT_TRUE(expected.Valid());
        EXPECT_EQ(f.depth->CurValue(ctx), expected);
        EXPECT_EQ(f.temp->CurValue(ctx), V(i == 0 ? 12.0f : 13.0f));
    }
    EXPECT_GT(f.depth->Current.value, 900); // 1000 dbar is nearly 1000 m
    ctx.PostLBIndexO = 2;
    EXPECT_EQ(f.depth->CurValue(ctx), InvalidFV);
    EXPECT_EQ(f.temp->CurValue(ctx), InvalidFV); // the copy carries the flag
    EXPECT_EQ(f.temp->CurrentStr, "invalid");
    f.depth->LinkPtr[0] = nullptr;
    ctx.PostLBIndexO = 0;
    EXPECT_EQ(f.depth->CurValue(ctx), InvalidFV);
}

TEST(CurValue, InputsLinkedInACycleGiveAnInvalidValueAndOneLogLine) {
    TTestEnv env;
    auto a = Make(401);
    auto b = Make(401);
    a->LinkPtr[0] = b.get();
    b->LinkPtr[0] = a.get();
    TValueContext ctx;
    EXPECT_EQ(a->CurValue(ctx), InvalidFV);
    TRawFVArray frame{};
    EXPECT_EQ(a->CalcValue(frame, ctx), InvalidFV);
    const auto messages = env.LogMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Error in Parameter.CurValuethe inputs are linked in a cycleTemperature / 401");
    EXPECT_EQ(messages[1].rfind("Error in Parameter.CalcValue", 0), 0u);
}

TEST(CalcValue, ValueInAStoredFrameByPositionAndFormula) {
    TTestEnv env;
    TComputedFixture f;
    f.pres->ParaFrame.PosInList = 2;
    f.pres->ParaText.Decimal[2] = 1;
    TRawFVArray frame{};
    frame[2] = V(1000);
    const TFlaggedValue expected = TComputedFixture::DepthOf(1000);
    EXPECT_EQ(f.depth->CalcValue(frame, TValueContext{}), expected);
    EXPECT_EQ(f.depth->Current0, expected);
    EXPECT_EQ(f.pres->Current0, V(1000));
    EXPECT_EQ(f.pres->CurrentStr0, "    1000.0");
    EXPECT_EQ(f.pres->Current, TFlaggedValue{}); // the current value is not touched

    frame[2] = {1000, 1};
    EXPECT_EQ(f.depth->CalcValue(frame, TValueContext{}), InvalidFV);
    EXPECT_EQ(f.depth->Current0, expected);
    f.pres->ParaFrame.PosInList = 31; // outside the frame
    frame[2] = V(1000);
    EXPECT_EQ(f.pres->CalcValue(frame, TValueContext{}), InvalidFV);
    f.depth->LinkPtr[0] = nullptr;
    EXPECT_EQ(f.depth->CalcValue(frame, TValueContext{}), InvalidFV);
    EXPECT_TRUE(env.LogMessages().empty());
}

// ---- Computed series ----------------------------------------------------------------------

TEST(CalculateAll, AppendsOnlyTheNewBinnedSamples) {
    TTestEnv env;
    TComputedFixture f;
    Append(*f.pres->SortedBuffer, {V(10), {20, 1}, V(30)});
    TValueContext ctx;
    ctx.MaxIndex = 1;
    ASSERT_TRUE(f.depth->CalculateAll(ctx));
    EXPECT_EQ(Values(*f.depth->SortedBuffer),
              (std::vector<TFlaggedValue>{TComputedFixture::DepthOf(10), InvalidFV}));
    EXPECT_FALSE(f.depth->CalculateAll(ctx)); // nothing new
    EXPECT_TRUE(f.depth->CalcUpdated(ctx));
    ctx.MaxIndex = 2;
    ASSERT_TRUE(f.depth->CalcUpdated(ctx));
    EXPECT_EQ(f.depth->SortedBuffer->Count(), 3);
    EXPECT_EQ(f.depth->SortedBuffer->AtFV(2), TComputedFixture::DepthOf(30));
}

TEST(CalculateAll, ValidationFlagsValuesOutsideTheLimits) {
    TTestEnv env;
    TComputedFixture f;
    SetLimits(*f.temp, true, 0, 20);
    Append(*f.temp1->SortedBuffer, {V(-0.5f), V(0), V(20), V(20.5f)});
    TValueContext ctx;
    ctx.MaxIndex = 3;
    ctx.ValidateLimits = true;
    ASSERT_TRUE(f.temp->CalculateAll(ctx));
    EXPECT_EQ(Values(*f.temp->SortedBuffer),
              (std::vector<TFlaggedValue>{{-0.5f, 1}, V(0), V(20), {20.5f, 1}}));
}

TEST(CalculateAll, MissingInputSeriesAppendsNothing) {
    TTestEnv env;
    TComputedFixture f;
    f.pres->SortedBuffer.reset();
    TValueContext ctx;
    ctx.MaxIndex = 3;
    EXPECT_FALSE(f.depth->CalculateAll(ctx));
    EXPECT_FALSE(f.depth->CalcUpdated(ctx));
    EXPECT_EQ(f.depth->SortedBuffer->Count(), 0);
    EXPECT_FALSE(f.pres->CalculateAll(ctx)); // no inputs at all
    EXPECT_TRUE(f.pres->CalcUpdated(ctx));   // a raw parameter is always up to date
    EXPECT_TRUE(env.LogMessages().empty());
}

TEST(CalcUpdated, BringsComputedInputsUpFirst) {
    TTestEnv env;
    TComputedFixture f;
    // 401 copies 110; a second copy reads 401, so it needs 401's series first.
    auto copy = Make(401);
    copy->LinkPtr[0] = f.temp.get();
    Append(*f.temp1->SortedBuffer, {V(1), V(2)});
    TValueContext ctx;
    ctx.MaxIndex = 1;
    ASSERT_TRUE(copy->CalcUpdated(ctx));
    EXPECT_EQ(Values(*f.temp->SortedBuffer), (std::vector<TFlaggedValue>{V(1), V(2)}));
    EXPECT_EQ(Values(*copy->SortedBuffer), (std::vector<TFlaggedValue>{V(1), V(2)}));
}

// ---- Validation limits --------------------------------------------------------------------

TEST(ValidateLimits, InsideOnTheBoundsOutsideAndSwitchedOff) {
    TParameter p;
    SetLimits(p, true, -2, 35);
    const struct {
        double value;
        int flag;
    } cases[] = {{10, 0}, {-2, 0}, {35, 0}, {-2.001, 1}, {35.001, 1}, {1e9, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(p.ValidateLimits(c.value), c.flag) << c.value;
    SetLimits(p, false, -2, 35);
    EXPECT_EQ(p.ValidateLimits(1e9), 0);
}

// ---- First filter -------------------------------------------------------------------------

struct TRingFixture {
    std::unique_ptr<TParameter> p = Make(110);
    TValueContext ctx;
    // The pipeline stores each frame's value in both rings, then filters it.
    void Frame(TFlaggedValue raw) {
        ctx.RingIndex = ctx.RawIndex % 2000;
        ++ctx.RawIndex;
        p->RawInCyBuf->AtModifyFV(ctx.RingIndex, raw);
        p->InCyBuf->AtModifyFV(ctx.RingIndex, raw);
        p->ParaFirstFilter(ctx);
    }
    TFlaggedValue Filtered() const { return p->InCyBuf->AtFV(ctx.RingIndex); }
};

TEST(FirstFilter, MeanStartsAtTheNthFrameAndIgnoresFlags) {
    TRingFixture r;
    r.ctx.FirstFilterType = Smo_Mean;
    r.ctx.FirstFilterSamples = 5;
    const float raw[] = {1, 2, 3, 4, 5, 11};
    const TFlaggedValue expected[] = {V(1), V(2), V(3), V(4), V(3), V(5)};
    for (int i = 0; i < 6; ++i) {
        r.Frame(V(raw[i]));
        EXPECT_EQ(r.Filtered(), expected[i]) << i;
    }
    r.Frame({27, 1});
    EXPECT_EQ(r.Filtered(), V(10)); // (3 + 4 + 5 + 11 + 27) / 5
}

TEST(FirstFilter, MeanAcrossTheRingWrap) {
    TRingFixture r;
    r.ctx.FirstFilterType = Smo_Mean;
    r.ctx.FirstFilterSamples = 3;
    r.ctx.RawIndex = 1998; // next frames land in slots 1998, 1999, 0
    for (float v : {3.0f, 6.0f, 9.0f})
        r.Frame(V(v));
    EXPECT_EQ(r.ctx.RingIndex, 0);
    EXPECT_EQ(r.Filtered(), V(6));
}

TEST(FirstFilter, LowPassAndItsInvalidInputs) {
    TRingFixture r;
    r.ctx.FirstFilterType = Smo_LP1stOrder;
    r.ctx.FirstFilterCutoffFactor = 3; // alpha 0.25
    r.Frame(V(8));
    EXPECT_EQ(r.Filtered(), V(8));
    r.Frame(V(16));
    EXPECT_EQ(r.Filtered(), V(10));
    r.Frame({40, 1}); // stays as stored
    EXPECT_EQ(r.Filtered(), TFlaggedValue({40, 1}));
    r.Frame(V(20)); // previous filtered value invalid: stays as stored
    EXPECT_EQ(r.Filtered(), V(20));
    r.Frame(V(4));
    EXPECT_EQ(r.Filtered(), V(16));
}

TEST(FirstFilter, NoneAndUnusableLengthsLeaveTheValues) {
    const struct {
        TSmoothType type;
        int length;
    } cases[] = {{Smo_None, 3}, {Smo_Mean, 0}, {Smo_Mean, 2001}, {Smo_LP1stOrder, -1}};
    for (const auto& c : cases) {
        TRingFixture r;
        r.ctx.FirstFilterType = c.type;
        r.ctx.FirstFilterSamples = r.ctx.FirstFilterCutoffFactor = c.length;
        for (float v : {2.0f, 4.0f, 9.0f})
            r.Frame(V(v));
        EXPECT_EQ(r.Filtered(), V(9)) << static_cast<int>(c.type) << " " << c.length;
    }
}

// ---- Smoothing ----------------------------------------------------------------------------

struct TSmoothCase {
    TSmoothType type;
    int length;
    std::vector<TFlaggedValue> in;
    bool result;
    std::vector<TFlaggedValue> out;
};

TEST(Smooth, ShortSeries) {
    TTestEnv env;
    const TSmoothCase cases[] = {
        {Smo_Mean, 3, {V(1), V(2), InvalidFV, V(4), V(6)}, true,
         {V(1), V(1.5f), V(1.5f), V(3), V(5)}},
        {Smo_Mean, 3, {V(1), V(2), InvalidFV, V(4)}, false, {}},
        {Smo_Mean, 2, {InvalidFV, InvalidFV, V(4), V(8)}, true,
         {InvalidFV, InvalidFV, V(4), V(6)}},
        {Smo_LP1stOrder, 4, {V(10), V(20)}, true, {V(10), V(12)}},
        {Smo_LP1stOrder, 1, {V(10), {0, 1}, V(20), V(30)}, true,
         {V(10), InvalidFV, V(20), V(25)}},
        {Smo_LP1stOrder, 4, {{5, 1}, V(20)}, true, {{5, 1}, V(20)}},
        {Smo_None, 3, {V(1), V(2), V(3)}, false, {}},
    };
    for (const TSmoothCase& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.type) << " " << c.length << " " << c.in.size());
        auto p = Make(110);
        p->ParaSmooth.SmoothType = c.type;
        p->ParaSmooth.FilterLength(Smo_Mean) = c.length;
        p->ParaSmooth.FilterLength(Smo_LP1stOrder) = c.length;
        Append(*p->SortedBuffer, c.in);
        TValueContext ctx;
        ctx.MaxIndex = p->SortedBuffer->LastIndice;
        EXPECT_EQ(p->Smooth(ctx), c.result);
        EXPECT_EQ(Values(*p->SmoothBuffer), c.out);
    }
    EXPECT_TRUE(env.op.Events().empty());
}

TEST(Smooth, ExtendsOnlyTheNewSamples) {
    auto p = Make(110);
    p->ParaSmooth.SmoothType = Smo_LP1stOrder;
    p->ParaSmooth.FilterLength(Smo_LP1stOrder) = 1; // alpha 0.5
    Append(*p->SortedBuffer, {V(0), V(8)});
    TValueContext ctx;
    ctx.MaxIndex = 1;
    ASSERT_TRUE(p->Smooth(ctx));
    p->SmoothBuffer->SetFVAt(V(100), 1); // a recomputation would overwrite this
    Append(*p->SortedBuffer, {V(0)});
    ctx.MaxIndex = 2;
    ASSERT_TRUE(p->Smooth(ctx));
    EXPECT_EQ(Values(*p->SmoothBuffer), (std::vector<TFlaggedValue>{V(0), V(100), V(50)}));
}

TEST(Smooth, NothingBinnedOrUnknownType) {
    TTestEnv env;
    auto p = Make(110);
    p->ParaSmooth.SmoothType = Smo_Mean;
    Append(*p->SortedBuffer, {V(1)});
    TValueContext ctx;
    ctx.MaxIndex = 0;
    EXPECT_FALSE(p->Smooth(ctx));
    p->ParaSmooth.SmoothType = static_cast<TSmoothType>(3);
    ctx.MaxIndex = 5;
    EXPECT_FALSE(p->Smooth(ctx));
    EXPECT_EQ(p->ParaSmooth.SmoothType, Smo_None);
    EXPECT_EQ(env.op.Events(),
              (std::vector<std::string>{"Message Warning [Warning]: Filter type invalid on parameter! "
                                        "\r\nThe filter has been setted to None!"}));
}

// ---- Automatic plot range -----------------------------------------------------------------

struct TAutoFixture {
    std::unique_ptr<TParameter> x = Make(110);
    std::unique_ptr<TParameter> y = Make(101);
    TAutoFixture(std::vector<TFlaggedValue> xs, std::vector<TFlaggedValue> ys) {
        Append(*x->SortedBuffer, xs);
        Append(*y->SortedBuffer, ys);
        x->ParaGeneral.AbsoMin = TExtended(-1000.0);
        x->ParaGeneral.AbsoMax = TExtended(1000.0);
        x->ParaGeneral.MinExt = TExtended(0.0);
        x->ParaScale.CurMin = TExtended(0.0);
        x->ParaScale.CurMax = TExtended(30.0);
        y->ParaScale.CurMin = TExtended(0.0);
        y->ParaScale.CurMax = TExtended(100.0);
    }
    double Min() const { return x->ParaScale.AutoMin.ToDouble(); }
    double Max() const { return x->ParaScale.AutoMax.ToDouble(); }
};

TEST(SetAuto, RangeWithMarginAndSmallestExtent) {
    TTestEnv env;
    const struct {
        double minExt;
        int scaleNb;
        bool downward;
        double min, max;
    } cases[] = {
        {0, 0, false, 9.5, 20.5},  {20, 0, false, 4.0, 26.0}, {0, 1, false, 9.2, 20.8},
        {0, 0, true, 20.5, 9.5},   {20, 0, true, 26.0, 4.0},
    };
    for (const auto& c : cases) {
        TAutoFixture f({V(10), V(15), V(20), {90, 1}, V(95)}, {V(1), V(2), V(3), V(4), V(200)});
        f.x->ParaGeneral.MinExt = TExtended(c.minExt);
        if (c.downward)
            std::swap(f.x->ParaScale.CurMin, f.x->ParaScale.CurMax);
        EXPECT_TRUE(f.x->SetAuto(*f.y, false, c.scaleNb, TValueContext{}));
        EXPECT_EQ(f.x->ParaScale.AutoScale, 1);
        EXPECT_NEAR(f.Min(), c.min, 1e-9) << c.minExt << " " << c.scaleNb << " " << c.downward;
        EXPECT_NEAR(f.Max(), c.max, 1e-9);
    }
}

TEST(SetAuto, AxisWindowFromAutoOrCurrentRangeInEitherOrder) {
    TTestEnv env;
    TAutoFixture f({V(10), V(20), V(40)}, {V(5), V(50), V(500)});
    f.y->ParaScale.AutoMin = TExtended(0.0);
    f.y->ParaScale.AutoMax = TExtended(10.0);
    ASSERT_TRUE(f.x->SetAuto(*f.y, true, 0, TValueContext{})); // only 10: span 0
    EXPECT_DOUBLE_EQ(f.Min(), 10);
    EXPECT_DOUBLE_EQ(f.Max(), 10);
    std::swap(f.y->ParaScale.CurMin, f.y->ParaScale.CurMax); // downward axis 100..0
    ASSERT_TRUE(f.x->SetAuto(*f.y, false, 0, TValueContext{})); // 10 and 20
    EXPECT_DOUBLE_EQ(f.Min(), 9.5);
    EXPECT_DOUBLE_EQ(f.Max(), 20.5);
    ASSERT_TRUE(f.x->SetAuto(*f.x, false, 0, TValueContext{})); // its own axis: every value
    EXPECT_DOUBLE_EQ(f.Min(), 8.5);
    EXPECT_DOUBLE_EQ(f.Max(), 41.5);
}

TEST(SetAuto, BeyondTheAbsoluteLimitsIsClampedAndFalse) {
    TTestEnv env;
    TAutoFixture f({V(-5), V(15)}, {V(1), V(2)});
    f.x->ParaGeneral.AbsoMin = TExtended(0.0);
    EXPECT_FALSE(f.x->SetAuto(*f.y, false, 1, TValueContext{}));
    EXPECT_NEAR(f.Min(), 0 - 0.35 * 15, 1e-9);
    EXPECT_NEAR(f.Max(), 15 + 0.35 * 15, 1e-9);
    std::swap(f.x->ParaScale.CurMin, f.x->ParaScale.CurMax);
    EXPECT_FALSE(f.x->SetAuto(*f.y, false, 0, TValueContext{}));
    EXPECT_NEAR(f.Min(), 15 + 0.05 * 15, 1e-9);
    EXPECT_NEAR(f.Max(), 0 - 0.05 * 15, 1e-9);
}

TEST(SetAuto, NoValueOrDifferentCapacityKeepsTheRange) {
    TTestEnv env;
    TAutoFixture f({InvalidFV, V(3)}, {V(1), InvalidFV});
    f.x->ParaScale.AutoMin = TExtended(1.0);
    f.x->ParaScale.AutoMax = TExtended(2.0);
    EXPECT_FALSE(f.x->SetAuto(*f.y, false, 0, TValueContext{}));
    EXPECT_EQ(f.Min(), 1);
    EXPECT_EQ(f.Max(), 2);
    for (int i = 0; i < 40; ++i) // grows its storage beyond the axis series'
        f.x->SortedBuffer->AddFV(V(5));
    f.y->SortedBuffer->SetFVAt(V(1), 1);
    EXPECT_FALSE(f.x->SetAuto(*f.y, false, 0, TValueContext{}));
    EXPECT_EQ(f.Min(), 1);
    EXPECT_TRUE(env.LogMessages().empty());
}

} // namespace
} // namespace marevo
