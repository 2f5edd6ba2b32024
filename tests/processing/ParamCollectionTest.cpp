#include "processing/ParamCollection.h"

#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

namespace marevo {
namespace {

using test::TAppEnv;

std::vector<int> Numbers(const TProbeCollection& c) {
    std::vector<int> numbers;
    for (const auto& p : c)
        numbers.push_back(p->GetParaNb());
    return numbers;
}

// A parameter from the catalogue, appended to c.
TParameter* AddPara(TProbeCollection& c, int number) {
    TParameter* p = c.Add(std::make_unique<TParameter>());
    p->SetDefPara(number);
    p->SetPosInProbe(c.Count());
    return p;
}

void Fill(TProbeCollection& c, std::initializer_list<int> numbers) {
    for (int n : numbers)
        AddPara(c, n);
}

TEST(ParamColFile, DefaultCollectionWritesReadsBackAndRewritesIdentically) {
    TAppEnv env;
    env.probe.DefaultParamCol();
    ASSERT_EQ(env.probe.Count(), 211);
    const auto file = env.dir / "Param.col";
    ASSERT_TRUE(env.probe.SaveToStreamName(file));
    EXPECT_EQ(std::filesystem::file_size(file), 41u + 4 + 640 + 4 + 211 * 2752);
    EXPECT_EQ(env.probe.TheStreamName, file);

    TParamCollection back;
    ASSERT_TRUE(back.ReadFromStreamName(file));
    EXPECT_EQ(Numbers(back), Numbers(env.probe));
    for (int i = 0; i < back.Count(); ++i)
        EXPECT_EQ(back.Items(i)->PosInProbe, i + 1);
    EXPECT_EQ(back.Items(13)->ParaGeneral.OrigName.Get(), "Pressure");
    EXPECT_EQ(back.versionPCol.Get(), "1.25");

    const auto again = env.dir / "again.col";
    ASSERT_TRUE(back.SaveToStreamName(again));
    EXPECT_EQ(test::ReadFileBytes(again), test::ReadFileBytes(file));
    EXPECT_TRUE(env.LogMessages().empty());
}

TEST(ParamColFile, AnotherVersionIsRefusedSilently) {
    TAppEnv env;
    Fill(env.probe, {100, 101});
    const auto file = env.dir / "Param.col";
    ASSERT_TRUE(env.probe.SaveToStreamName(file));
    std::string bytes = test::ReadFileBytes(file);
    bytes[4] = '4'; // "1.24"
    std::ofstream(file, std::ios::binary) << bytes;

    TParamCollection back;
    Fill(back, {110});
    EXPECT_FALSE(back.ReadFromStreamName(file));
    EXPECT_EQ(back.Count(), 0);
    EXPECT_TRUE(env.op.Events().empty());
    EXPECT_TRUE(env.LogMessages().empty());
}

TEST(ParamColFile, OtherFormatNumberIsAFormatError) {
    TAppEnv env;
    Fill(env.probe, {100, 101});
    const auto file = env.dir / "Param.col";
    env.probe.SaveToStreamName(file);
    std::string bytes = test::ReadFileBytes(file);
    bytes[41] = 0x48; // 2888
    std::ofstream(file, std::ios::binary) << bytes;

    TParamCollection back;
    EXPECT_FALSE(back.ReadFromStreamName(file));
    EXPECT_EQ(env.op.Events(),
              (std::vector<std::string>{"Message Error [Error]: Read parameter data file format",
                                        "Message Error [Error]: Read file"}));
    EXPECT_EQ(env.LogMessages(),
              (std::vector<std::string>{
                  "Error in ProbeCollection.ReadFromStreamTProbeCollection.ReadFromStream: "
                  "Format error - Corrupted or old file",
                  "Error in ProbeCollection.ReadFromStreamNameTProbeCollection."
                  "ReadFromStreamName: Read error"}));
}

TEST(ParamColFile, FileCutShortAnywhereIsRefusedWithAMessage) {
    std::string whole;
    {
        TAppEnv env;
        Fill(env.probe, {100, 101, 110});
        env.probe.SaveToStreamName(env.dir / "Param.col");
        whole = test::ReadFileBytes(env.dir / "Param.col");
    }
    for (std::size_t keep : {std::size_t{0}, std::size_t{20}, std::size_t{41}, std::size_t{43},
                             std::size_t{300}, std::size_t{686}, std::size_t{689 + 2752 + 100},
                             whole.size() - 1}) {
        TAppEnv env;
        const auto cut = env.dir / "cut.col";
        std::ofstream(cut, std::ios::binary) << whole.substr(0, keep);
        TParamCollection back;
        EXPECT_FALSE(back.ReadFromStreamName(cut)) << keep;
        EXPECT_LE(back.Count(), 3) << keep;
        // A file too short for its version text is just not a Param.col; past it, every cut is
        // reported as a read error of the file.
        const bool reported = env.Logged("Error in ProbeCollection.ReadFromStreamNameTProbeCollection."
                                         "ReadFromStreamName: Read error");
        EXPECT_EQ(reported, keep >= 41) << keep;
    }
}

TEST(ParamColFile, MissingFileAndMissingNameAreReported) {
    TAppEnv env;
    TParamCollection c;
    EXPECT_FALSE(c.ReadFromStreamName(env.dir / "none.col"));
    EXPECT_FALSE(c.SaveToStreamName(""));
    EXPECT_EQ(env.LogMessages(),
              (std::vector<std::string>{
                  "Error in ProbeCollection.ReadFromStreamName File not found: " +
                      (env.dir / "none.col").string(),
                  "Error in ProbeCollection.SaveToStreamNameTProbeCollection.SaveToStreamName: "
                  "StreamName is empty"}));
}

TEST(ProbeBlock, InputParametersComeBackWithTheirAcquisitionSettings) {
    TAppEnv env;
    env.probe.DefaultParamCol();
    TParamCollection cast;
    Fill(cast, {100, 101, 110, 120, 800, 404});
    cast.Items(1)->ParaCalib.calib[3] = TExtended::FromDouble(0.125);
    cast.ProbeInfo.UnitSN.Set("700-123");
    TMemoryStream block;
    ASSERT_TRUE(cast.ProbeToCruiseFile(block));
    EXPECT_EQ(block.Size(), 4 + 4 + 640 + 5 * 728); // the computed 404 is not stored

    block.Seek(0);
    TParamCollection back;
    ASSERT_TRUE(back.CruiseFileToProbe(block));
    EXPECT_EQ(Numbers(back), (std::vector<int>{100, 101, 110, 120, 800}));
    EXPECT_EQ(back.Items(1)->ParaCalib.calib[3].ToDouble(), 0.125);
    EXPECT_EQ(back.Items(4)->PosInProbe, 5);
    EXPECT_EQ(back.ProbeInfo.UnitSN.Get(), "700-123");
    EXPECT_EQ(back.Items(1)->ParaText.ParaStr[txt_Screen].Get(), "Pres"); // from the probe side
}

// A probe block of n acquisition records of parameter 110.
TMemoryStream ProbeBlock(std::int32_t n, std::int32_t number = 110) {
    TMemoryStream s;
    TRecordWriter w(s, "");
    w.Put(CollectionFormat, "");
    w.Put(n, "");
    TProbeInfo info{};
    w.Put(info, "");
    TParameter p;
    p.SetDefPara(number);
    for (int i = 0; i < n; ++i)
        p.WriteParaRaw(s);
    s.Seek(0);
    return s;
}

TEST(ProbeBlock, AtMost32ParametersAreAccepted) {
    TAppEnv env;
    env.probe.DefaultParamCol();
    TParamCollection back;
    TMemoryStream of33 = ProbeBlock(33);
    EXPECT_FALSE(back.CruiseFileToProbe(of33));
    EXPECT_TRUE(env.op.Events().empty());
    TMemoryStream of32 = ProbeBlock(32);
    EXPECT_TRUE(back.CruiseFileToProbe(of32));
    EXPECT_EQ(back.Count(), 32);
}

TEST(ProbeBlock, UnknownParameterNumberIsReportedByNumber) {
    TAppEnv env;
    Fill(env.probe, {100, 101});
    TMemoryStream block = ProbeBlock(2, 4242);
    TParamCollection back;
    EXPECT_FALSE(back.CruiseFileToProbe(block));
    EXPECT_EQ(env.op.Events(), std::vector<std::string>{"Message Error [Error]: Read cruise file"});
    ASSERT_EQ(env.LogMessages().size(), 1u);
    const std::string line = env.LogMessages()[0];
    EXPECT_EQ(line.substr(line.size() - 5), " 4242");
}

TEST(ProbeBlock, BlockCutShortFailsWithoutACrash) {
    TAppEnv env;
    env.probe.DefaultParamCol();
    TMemoryStream whole = ProbeBlock(3);
    for (std::size_t keep : {0, 6, 100, 648, 648 + 728 + 1}) {
        TMemoryStream cut(std::vector<std::uint8_t>(whole.Bytes().begin(),
                                                    whole.Bytes().begin() + keep));
        TParamCollection back;
        EXPECT_FALSE(back.CruiseFileToProbe(cut)) << keep;
    }
}

TEST(DisplayBlock, DisplaySettingsGoToTheCollectionReadingThem) {
    TAppEnv env;
    Fill(env.probe, {100, 101, 401});
    TParamCollection edited;
    Fill(edited, {101, 401});
    edited.Items(0)->ParaScale.Color = 255;
    edited.Items(1)->ParaSmooth.SmoothType = Smo_LP1stOrder;
    TMemoryStream block;
    ASSERT_TRUE(edited.ParaColToConfigStream(block));
    EXPECT_EQ(block.Size(), 8 + 2 * 1541);

    block.Seek(0);
    ASSERT_TRUE(env.probe.ConfigStreamToParaCol(block));
    EXPECT_EQ(env.probe.FindPara(101)->ParaScale.Color, 255);
    EXPECT_EQ(env.probe.FindPara(401)->ParaSmooth.SmoothType, Smo_LP1stOrder);

    // The block goes to the collection that reads it, not to the installed probe collection: one
    // without those parameters refuses it.
    TParamCollection other;
    block.Seek(0);
    EXPECT_FALSE(other.ConfigStreamToParaCol(block));

    TParamCollection unknown;
    Fill(unknown, {4242});
    TMemoryStream bad;
    unknown.ParaColToConfigStream(bad);
    bad.Seek(0);
    EXPECT_FALSE(other.ConfigStreamToParaCol(bad));
    EXPECT_TRUE(env.Logged("Error in ProbeCollection.ConfigStreamToParaCol TProbeCollection."
                           "ConfigStreamToParaCol: Parameter not found in Parameter "
                           "collection 4242"));
}

TEST(FrameLayout, InputsTakeFrameSpaceInListOrder) {
    TAppEnv env;
    TParamCollection c;
    auto add = [&](int nb, TParaType type, TParaConv conv) {
        TParameter* p = c.Add(std::make_unique<TParameter>());
        p->ParaGeneral.ParaNb = nb;
        p->paraRaw.ParaType = type;
        p->paraRaw.ConvType = conv;
    };
    add(100, Pt_Tims, ParaConvByte);
    add(110, Pt_Raw, ParaConvByte3);
    add(120, Pt_Raw, ParaConvByte3);
    add(800, Pt_Nmea, ParaConvSingle);
    add(404, Pt_Calc, ParaConvSingle);
    ASSERT_TRUE(c.SetFrameInfo());
    const TFrameInfo& f = c.FrameInfo;
    EXPECT_EQ(f.RawCount, 3);
    EXPECT_EQ(f.RawSize, 6);
    EXPECT_EQ(f.ExtCount, 4);
    EXPECT_EQ(f.ExtSize, 10);
    EXPECT_TRUE(f.UseNmea);
    EXPECT_TRUE(f.UseExtPara);
    EXPECT_EQ(f.TimsPos, 0);
    EXPECT_EQ(f.TempPosA[1], 1);
    EXPECT_EQ(f.CondPosA[1], 2);
    EXPECT_EQ(f.PresPos, -1);
    EXPECT_EQ(c.Items(0)->ParaFrame.SizeByte, 0); // the time counter is computed
    EXPECT_EQ(c.Items(2)->ParaFrame.PtrInframe, 3);
    EXPECT_EQ(c.Items(3)->ParaFrame.PtrInframe, 6);
    EXPECT_EQ(c.Items(4)->ParaFrame.SizeByte, 0);
    EXPECT_EQ(env.probe.ProbeInfo.FrameSize, 6);
}

TEST(FrameLayout, HeadersGetTheirDecoderAndConductivityCoefficientsSwitchPTCorrection) {
    TAppEnv env;
    TParamCollection c;
    Fill(c, {6, 100, 101, 110, 120});
    c.Items(0)->paraRaw.ConvType = ParaConvByte;
    ASSERT_TRUE(c.SetFrameInfo());
    EXPECT_EQ(c.Items(0)->paraRaw.ConvType, ParaConvHDF6);
    EXPECT_FALSE(c.FrameInfo.DoPTeffect);
    c.Items(4)->ParaCalib.calib[5] = TExtended::FromDouble(3.25e-5);
    c.SetFrameInfo();
    EXPECT_TRUE(c.FrameInfo.DoPTeffect);
}

TEST(SensorChoice, InvalidChoiceFallsToTheFirstPresentSensorOrNone) {
    TAppEnv env;
    Fill(env.probe, {100, 101, 111, 112, 120, 401, 402});
    env.genCfg.DupTempNb = 0;
    env.probe.SetFrameInfo();
    env.probe.CheckDupSensor();
    EXPECT_EQ(env.genCfg.DupTempNb, 1);
    EXPECT_EQ(env.genCfg.DupCondNb, 0); // 120 present: kept
    EXPECT_EQ(env.genCfg.DupAltimNb, 2);
    env.probe.UpdateDup();
    EXPECT_EQ(env.probe.FindPara(401)->ParaFunction.ParaLink[0], 111);
    EXPECT_EQ(env.probe.FindPara(402)->ParaFunction.ParaLink[0], 111);

    TParamCollection noTemperature;
    Fill(noTemperature, {100, 101, 120});
    noTemperature.SetFrameInfo();
    noTemperature.CheckDupSensor();
    EXPECT_EQ(env.genCfg.DupTempNb, 3);
    env.probe.FindPara(401)->ParaFunction.ParaLink[0] = 112;
    env.probe.UpdateDup();
    EXPECT_EQ(env.probe.FindPara(401)->ParaFunction.ParaLink[0], 112);
}

TEST(ComputedParameters, AreAddedWhenTheirInputsArePresent) {
    TAppEnv env;
    env.probe.DefaultParamCol();
    Fill(env.cast, {100, 101});
    ASSERT_TRUE(env.cast.BuildCalcList());
    // Time from the counter and depth from pressure; nothing whose inputs are missing.
    EXPECT_EQ(Numbers(env.cast), (std::vector<int>{100, 101, 400, 403}));
    EXPECT_EQ(env.cast.FrameInfo.TimePos, 3);
    EXPECT_EQ(env.cast.FrameInfo.DeptPos, 4);
    EXPECT_EQ(env.cast.Items(2)->ParaFunction.ParaLink[0], 100);
    EXPECT_EQ(env.cast.Items(3)->PosInProbe, 4);

    TParamCollection ctd;
    Fill(ctd, {100, 101, 110, 120});
    ASSERT_TRUE(ctd.BuildCalcList());
    const std::vector<int> numbers = Numbers(ctd);
    for (int expected : {399, 401, 402, 404, 599, 600, 603, 609, 606, 607})
        EXPECT_NE(std::find(numbers.begin(), numbers.end(), expected), numbers.end()) << expected;
    for (int absent : {405, 407, 440, 740})
        EXPECT_EQ(std::find(numbers.begin(), numbers.end(), absent), numbers.end()) << absent;
    EXPECT_TRUE(ctd.SetLinkPtr());
    const TParameter* salinity = ctd.FindPara(404);
    EXPECT_EQ(salinity->LinkPtr[0], ctd.FindPara(101));
    EXPECT_EQ(salinity->LinkPtr[2], ctd.FindPara(399));
}

TEST(ComputedParameters, EmptyCollectionOrEmptyProbeGivesFalse) {
    TAppEnv env;
    TParamCollection empty;
    EXPECT_FALSE(empty.BuildCalcList());
    Fill(env.cast, {100});
    EXPECT_FALSE(env.cast.BuildCalcList()); // ProbeParamCol is empty
}

TEST(DisplayLists, PlotListNeedsItsAxisAndBottleStatusIsAlwaysAvailable) {
    TAppEnv env;
    env.probe.DefaultParamCol();
    Fill(env.cast, {100, 101, 110});
    SetParaListNumbers(env.genCfg.ParaPlotList, {403, 110, 101});
    SetParaListNumbers(env.genCfg.BottleParaList, {501, 110, 130});
    SetParaListNumbers(env.genCfg.CurParaList, {101, 130});
    ASSERT_TRUE(env.cast.BuildCalcList());
    EXPECT_EQ(env.genCfg.ParaPlotList.Avail[0], 1); // depth was added
    EXPECT_EQ(env.genCfg.ParaPlotList.Avail[1], 1);
    EXPECT_EQ(env.genCfg.BottleParaList.Avail[0], 1);
    EXPECT_EQ(env.genCfg.BottleParaList.Avail[2], 0);
    EXPECT_EQ(env.curParaPtr[0], env.cast.FindPara(101));
    EXPECT_EQ(env.curParaPtr[1], env.probe.FindPara(130)); // from the probe collection

    SetParaListNumbers(env.genCfg.ParaPlotList, {105, 110, 101});
    env.cast.BuildCalcList();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(env.genCfg.ParaPlotList.Avail[i], 0) << i;
}

TEST(Queries, DuplicateNumbersAndProbeCodes) {
    TAppEnv env;
    TParamCollection c;
    TParameter* a = AddPara(c, 110);
    TParameter* b = AddPara(c, 110);
    EXPECT_EQ(c.FindPara(110), a);
    EXPECT_EQ(c.FindQvlPara(1), b); // temperature 1's probe code
    EXPECT_EQ(c.FindPara(4242), nullptr);
    EXPECT_FALSE(c.ExistParaNb(4242));
}

TEST(Units, TimeAndConductivityUnitsFollowTheSettings) {
    TAppEnv env;
    Fill(env.probe, {100, 400, 599, 601});
    TParameter* time = env.probe.FindPara(400);
    time->CreateBuffers();
    time->SortedBuffer->Add(1.0f, 0);
    env.genCfg.TimeUnit = 1;
    env.genCfg.CondUnit = 2;
    env.probe.UpdateTimeUnit();
    EXPECT_EQ(time->ParaText.ParaStr[txt_Unit].Get(), "mn");
    for (int d : time->ParaText.Decimal)
        EXPECT_EQ(d, 4);
    EXPECT_EQ(time->SortedBuffer->Count(), 0);
    EXPECT_EQ(env.probe.FindPara(601)->ParaText.ParaStr[txt_Unit].Get(), "S/m");
    EXPECT_EQ(env.probe.FindPara(599)->ParaText.Decimal[txt_File], 5);
}

TEST(ProbeInfo, DefaultsDescribeAProbelessCollection) {
    TAppEnv env;
    TParamCollection c;
    c.ProbeInfo.Protocol = 7;
    c.ProbeInfo.BottlesNumber = 12;
    c.DefaultProbeInfo();
    EXPECT_EQ(c.ProbeInfo.UnitType.Get(), "Kelpra");
    EXPECT_EQ(c.ProbeInfo.UnitSN.Get(), "700-0000000000");
    EXPECT_EQ(c.ProbeInfo.ScanRate.ToDouble(), 11.0);
    EXPECT_EQ(c.ProbeInfo.LabDate, env.clock.Now());
    EXPECT_EQ(c.ProbeInfo.Protocol, 0);
    EXPECT_EQ(c.ProbeInfo.BottlesNumber, 12); // not part of the defaults
}

} // namespace
} // namespace marevo
