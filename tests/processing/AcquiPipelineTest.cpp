#include "processing/ParamCollection.h"

#include "support/AppEnv.h"

#include <gtest/gtest.h>

namespace marevo {
namespace {

using test::TAppEnv;

std::vector<int> Numbers(const TProbeCollection& c) {
    std::vector<int> numbers;
    for (const auto& p : c)
        numbers.push_back(p->GetParaNb());
    return numbers;
}

void Fill(TProbeCollection& c, std::initializer_list<int> numbers) {
    for (int n : numbers) {
        TParameter* p = c.Add(std::make_unique<TParameter>());
        p->SetDefPara(n);
        p->SetPosInProbe(c.Count());
    }
}

// A cast collection of time base, pressure, temperature and conductivity with its frame layout.
void PrepareCast(TAppEnv& env) {
    Fill(env.probe, {6, 100, 101, 110, 120, 52, 800, 801, 807, 809});
    Fill(env.cast, {6, 100, 101, 110, 120});
    ASSERT_TRUE(env.cast.BuildProbeInfo());
}

TEST(AcquiBuffers, RingIndexFoldsIntoTheRing) {
    TAppEnv env;
    struct Case {
        std::int32_t from, delta, expected;
    } cases[] = {{-1, 1, 0},
                 {0, -1, 1999},
                 {1999, 1, 0},
                 {5, 2000, 5},
                 {3, -2003, 0},
                 {10, 25, 35},
                 {0, 2147483647, 2147483647 % 2000}};
    for (const Case& c : cases) {
        std::int32_t index = c.from;
        env.cast.AddCBPointers(index, c.delta);
        EXPECT_EQ(index, c.expected) << c.from << " + " << c.delta;
    }
}

TEST(AcquiBuffers, FewerThanThreeParametersAreRefusedWithAPlainMessage) {
    TAppEnv env;
    Fill(env.cast, {100, 101});
    EXPECT_FALSE(env.cast.InitRoundBuffer());
    EXPECT_FALSE(env.cast.InitLinearBuffer());
    env.cast.ResetBuffers();
    EXPECT_EQ(env.op.Events().size(), 3u);
    for (const auto& e : env.op.Events())
        EXPECT_NE(e.find("Error: Probe Sensors less than 2"), std::string::npos) << e;
    EXPECT_TRUE(env.LogMessages().empty());
    EXPECT_EQ(env.cast.Items(0)->InCyBuf, nullptr);
    EXPECT_EQ(env.cast.Items(0)->PostLinBuf, nullptr);
}

TEST(AcquiBuffers, InitCreatesRingsSeriesAndRecountsLinks) {
    TAppEnv env;
    PrepareCast(env);
    TParameter* temp = env.cast.Items(3);
    temp->ParaFunction.LinkNb = 0;
    temp->ParaFunction.ParaLink[0] = 101;
    temp->ParaFunction.ParaLink[4] = 120;
    ASSERT_TRUE(env.cast.InitRoundBuffer());
    ASSERT_TRUE(env.cast.InitLinearBuffer());
    for (const auto& p : env.cast) {
        ASSERT_NE(p->InCyBuf, nullptr);
        EXPECT_EQ(p->InCyBuf->MaxIndice, TCyclicArray(AcquiRingSize).MaxIndice);
        ASSERT_NE(p->RawInCyBuf, nullptr);
        ASSERT_NE(p->PostLinBuf, nullptr);
        ASSERT_NE(p->SortedBuffer, nullptr);
        ASSERT_NE(p->SmoothBuffer, nullptr);
    }
    EXPECT_EQ(temp->ParaFunction.LinkNb, 5);
    EXPECT_EQ(temp->LinkPtr[0], env.cast.FindPara(101));
    EXPECT_EQ(temp->LinkPtr[4], env.cast.FindPara(120));
    EXPECT_EQ(env.cast.Items(2)->ParaFunction.LinkNb, 0);
}

TEST(AcquiBuffers, ResetResolvesKeyParametersAndRestartsTheState) {
    TAppEnv env;
    PrepareCast(env);
    struct Case {
        std::int32_t dupTemp, dupCond, dupAlti;
        int temp, cond;
    } cases[] = {{0, 0, 0, 110, 120}, {1, 1, 1, 0, 0}, {3, 4, 2, 0, 0}};
    for (const Case& c : cases) {
        env.genCfg.DupTempNb = c.dupTemp;
        env.genCfg.DupCondNb = c.dupCond;
        env.genCfg.DupAltimNb = c.dupAlti;
        env.cast.Acqui.S_RTStatus = rt_run;
        env.cast.Acqui.RawIndex = 17;
        env.cast.Acqui.HeaderState.FrameCounter = 9;
        env.cast.BtlAlarm.AlarmOn[3] = true;
        env.cast.Acqui.DirFirstSample = false;
        env.cast.Reset();
        EXPECT_EQ(env.cast.Acqui.ParaPres, env.cast.FindPara(101));
        EXPECT_EQ(env.cast.Acqui.ParaTims, env.cast.FindPara(100));
        EXPECT_EQ(env.cast.Acqui.ParaTemp, c.temp ? env.cast.FindPara(c.temp) : nullptr);
        EXPECT_EQ(env.cast.Acqui.ParaCond, c.cond ? env.cast.FindPara(c.cond) : nullptr);
        EXPECT_EQ(env.cast.Acqui.ParaScRt, env.probe.FindPara(52));
        EXPECT_EQ(env.cast.Acqui.S_RTStatus, rt_none);
        EXPECT_EQ(env.cast.Acqui.RawIndex, 0);
        EXPECT_EQ(env.cast.Acqui.InputCBIndexI, -1);
        EXPECT_EQ(env.cast.Acqui.PostLBIndexO, -1);
        EXPECT_EQ(env.cast.Acqui.HeaderState.FrameCounter, 0);
        EXPECT_FALSE(env.cast.BtlAlarm.AlarmOn[3]);
        EXPECT_TRUE(env.cast.Acqui.DirFirstSample);
        EXPECT_EQ(env.cast.Acqui.S_MaxDownPres, -1.0L);
        EXPECT_EQ(env.cast.Acqui.C_Scanrate, 10.0L);
        EXPECT_DOUBLE_EQ(env.cast.FrameInfo.ScanRate.ToDouble(), 12.0);
    }
}

TEST(AcquiBuffers, ResetBuffersEmptiesSeriesAndKeepsRingSlots) {
    TAppEnv env;
    PrepareCast(env);
    ASSERT_TRUE(env.cast.InitRoundBuffer());
    ASSERT_TRUE(env.cast.InitLinearBuffer());
    TParameter* pres = env.cast.FindPara(101);
    pres->InCyBuf->AddFVAt({5.0f, 0}, 7);
    pres->PostLinBuf->AddFV({5.0f, 0});
    pres->SortedBuffer->AddFV({5.0f, 0});
    pres->ParaSmooth.SmoothType = Smo_None;
    pres->SmoothBuffer->AddFV({5.0f, 0});
    env.cast.Bin.SortInfo.MaxIndex = 4;
    env.cast.ResetBuffers();
    EXPECT_EQ(pres->PostLinBuf->Count(), 0);
    EXPECT_EQ(pres->SortedBuffer->Count(), 0);
    EXPECT_EQ(pres->SmoothBuffer->Count(), 1); // only the mean and low-pass smoothings restart
    EXPECT_EQ(pres->InCyBuf->MaxIndice, TCyclicArray(AcquiRingSize).MaxIndice);
    EXPECT_EQ(env.cast.Bin.SortInfo.MaxIndex, -1);
}

TEST(AcquiParameters, AcquisitionAndAuxiliaryParametersAreAddedAndRemoved) {
    TAppEnv env;
    PrepareCast(env);
    env.environ.NMEAParaList.count = 3;
    env.environ.NMEAParaList.List[0] = 800;
    env.environ.NMEAParaList.List[1] = 999; // not in the probe collection: skipped
    env.environ.NMEAParaList.List[2] = 801;
    env.environ.ExtParaList.count = 2;
    env.environ.ExtParaList.List[0] = 807;
    env.environ.ExtParaList.List[1] = 809;
    env.environ.ExtWinchOffset = TExtended::FromDouble(1.5);
    env.environ.ExtWinchPulseToMeter = TExtended::FromDouble(0.01);
    env.environ.ExtParOffsetV = TExtended::FromDouble(0.2);
    env.environ.ExtParScale = TExtended::FromDouble(3.0);
    env.environ.ExtParMultiplier = TExtended::FromDouble(4.0);

    ASSERT_TRUE(env.cast.AddAcquiPara());
    ASSERT_TRUE(env.cast.AddNMEAAndExternalParameter());
    EXPECT_TRUE(env.cast.Acqui.StartPosUpdate);
    EXPECT_EQ(Numbers(env.cast), (std::vector<int>{6, 100, 101, 110, 120, 52, 800, 801, 807, 809}));
    const TParameter* par = env.cast.FindPara(807);
    EXPECT_DOUBLE_EQ(par->ParaCalib.calib[0].ToDouble(), 0.2);
    EXPECT_DOUBLE_EQ(par->ParaCalib.calib[1].ToDouble(), 3.0);
    EXPECT_DOUBLE_EQ(par->ParaCalib.calib[2].ToDouble(), 4.0);
    const TParameter* winch = env.cast.FindPara(809);
    EXPECT_DOUBLE_EQ(winch->ParaCalib.calib[0].ToDouble(), 1.5);
    EXPECT_DOUBLE_EQ(winch->ParaCalib.calib[1].ToDouble(), 0.01);
    EXPECT_NE(env.cast.FindPara(52), env.probe.FindPara(52)); // a copy, owned by the cast

    ASSERT_EQ(env.cast.FindPara(52)->ParaType(), Pt_Acqui);
    ASSERT_TRUE(env.cast.DelAcquiPara());
    EXPECT_FALSE(env.cast.ExistParaNb(52));
    EXPECT_EQ(env.cast.Count(), 9);
}

TEST(AcquiParameters, MissingScanRateParameterIsReported) {
    TAppEnv env;
    EXPECT_FALSE(env.cast.AddAcquiPara());
    ASSERT_EQ(env.LogMessages().size(), 1u);
    EXPECT_EQ(env.LogMessages()[0].rfind("Error in TParamCollection.AddAcquiPara", 0), 0u);
    EXPECT_EQ(env.cast.Count(), 0);
}

} // namespace
} // namespace marevo
