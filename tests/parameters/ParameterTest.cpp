#include "parameters/Parameter.h"

#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace marevo {
namespace {

using test::TTestEnv;

template <class T> void FillRandom(T& record, std::mt19937& rng) {
    auto* bytes = reinterpret_cast<std::uint8_t*>(&record);
    for (std::size_t i = 0; i < sizeof(T); ++i)
        bytes[i] = static_cast<std::uint8_t>(rng());
}

template <class T> bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <class T> bool AllZero(const T& record) {
    T zero;
    std::memset(&zero, 0, sizeof(T));
    return SameBytes(record, zero);
}

// A parameter whose every record byte (gaps and reserved areas too) is random.
void Scramble(TParameter& p, unsigned seed) {
    std::mt19937 rng(seed);
    FillRandom(p.ParaGeneral, rng);
    FillRandom(p.ParaText, rng);
    FillRandom(p.ParaScale, rng);
    FillRandom(p.ParaSmooth, rng);
    FillRandom(p.paraRaw, rng);
    FillRandom(p.ParaCalib, rng);
    FillRandom(p.ParaFunction, rng);
    FillRandom(p.ParaFormat, rng);
    FillRandom(p.ParaFrame, rng);
    FillRandom(p.ParaInterpol, rng);
    p.PosInProbe = 17;
}

TEST(ParameterRecords, StreamRecordsHaveTheirStoredSizes) {
    TTestEnv env;
    TParameter p;
    Scramble(p, 1);
    TMemoryStream definition, display, acquisition;
    ASSERT_TRUE(p.WritePara(definition));
    ASSERT_TRUE(p.WriteParaDisplay(display));
    ASSERT_TRUE(p.WriteParaRaw(acquisition));
    EXPECT_EQ(definition.Size(), ParaDefinitionRecordSize);
    EXPECT_EQ(display.Size(), ParaDisplayRecordSize);
    EXPECT_EQ(acquisition.Size(), ParaAcquiRecordSize);
    // The display record carries the three record sizes at 420, so readers can refuse others.
    std::int32_t sizes[3];
    std::memcpy(sizes, display.Bytes().data() + 420, sizeof sizes);
    EXPECT_EQ(sizes[0], 344);
    EXPECT_EQ(sizes[1], 464);
    EXPECT_EQ(sizes[2], 301);
}

TEST(ParameterRecords, DefinitionRecordRoundTripKeepsEveryByte) {
    TTestEnv env;
    for (unsigned seed = 1; seed <= 20; ++seed) {
        TParameter source;
        Scramble(source, seed);
        TMemoryStream s;
        ASSERT_TRUE(source.WritePara(s));
        s.Seek(0);
        TParameter back;
        ASSERT_TRUE(back.ReadPara(s));
        EXPECT_EQ(back.ErrorStatus, ParaOk);
        EXPECT_TRUE(SameBytes(back.ParaGeneral, source.ParaGeneral)) << seed;
        EXPECT_TRUE(SameBytes(back.ParaText, source.ParaText)) << seed;
        EXPECT_TRUE(SameBytes(back.ParaScale, source.ParaScale)) << seed;
        EXPECT_TRUE(SameBytes(back.ParaSmooth, source.ParaSmooth)) << seed;
        EXPECT_TRUE(SameBytes(back.paraRaw, source.paraRaw)) << seed;
        EXPECT_TRUE(SameBytes(back.ParaCalib, source.ParaCalib)) << seed;
        EXPECT_TRUE(SameBytes(back.ParaFunction, source.ParaFunction)) << seed;
        // Not part of the record.
        EXPECT_TRUE(AllZero(back.ParaFormat));
        EXPECT_TRUE(AllZero(back.ParaFrame));
        TMemoryStream again;
        back.WritePara(again);
        EXPECT_EQ(again.Bytes(), s.Bytes());
    }
}

TEST(ParameterRecords, DisplayAndAcquisitionRecordsCarryTheirParts) {
    TTestEnv env;
    TParameter source;
    Scramble(source, 7);
    TMemoryStream display, acquisition;
    source.WriteParaDisplay(display);
    source.WriteParaRaw(acquisition);
    display.Seek(0);
    acquisition.Seek(0);

    TParameter shown, acquired;
    ASSERT_TRUE(shown.ReadParaDisplay(display));
    EXPECT_EQ(shown.GetParaNb(), source.GetParaNb());
    EXPECT_TRUE(SameBytes(shown.ParaText, source.ParaText));
    EXPECT_TRUE(SameBytes(shown.ParaScale, source.ParaScale));
    EXPECT_TRUE(SameBytes(shown.ParaSmooth, source.ParaSmooth));
    EXPECT_TRUE(SameBytes(shown.ParaFormat, source.ParaFormat));
    EXPECT_TRUE(AllZero(shown.ParaCalib));

    ASSERT_TRUE(acquired.ReadParaRaw(acquisition));
    EXPECT_EQ(acquired.GetParaNb(), source.GetParaNb());
    EXPECT_TRUE(SameBytes(acquired.paraRaw, source.paraRaw));
    EXPECT_TRUE(SameBytes(acquired.ParaCalib, source.ParaCalib));
    EXPECT_TRUE(AllZero(acquired.ParaScale));
}

TEST(ParameterRecords, DisplayRecordWithOtherRecordSizesIsRefused) {
    const int wrongSizeAt[] = {420, 424, 428};
    for (int at : wrongSizeAt) {
        TTestEnv env;
        TParameter source;
        Scramble(source, 3);
        TMemoryStream s;
        source.WriteParaDisplay(s);
        std::vector<std::uint8_t> bytes = s.Bytes();
        bytes[at] ^= 0x01; // an older or corrupted layout
        TMemoryStream damaged(bytes);

        TParameter scratch;
        EXPECT_FALSE(scratch.ReadParaDisplay(damaged)) << at;
        EXPECT_EQ(scratch.ErrorStatus, ParaFailed);
        EXPECT_TRUE(SameBytes(scratch.ParaText, source.ParaText)) << "read before the check";
        EXPECT_TRUE(AllZero(scratch.ParaScale));
        EXPECT_EQ(env.LogMessages(),
                  std::vector<std::string>{"Error in ParamRaw.ReadParaDisplayParamraw.ReadParaRaw: "
                                           "Format error - Corrupted or old file"});
    }
}

TEST(ParameterRecords, TruncatedRecordFailsAndNamesThePartNotRead) {
    struct Case {
        const char* what;
        std::function<void(const TParameter&, TStream&)> write;
        std::function<bool(TParameter&, TStream&)> read;
        std::size_t keep;
        const char* logged;
    };
    const Case cases[] = {
        {"definition", [](const TParameter& p, TStream& s) { p.WritePara(s); },
         [](TParameter& p, TStream& s) { return p.ReadPara(s); }, 2000,
         "Error in ParamRaw.ReadParaParamRaw.ReadPara: read error - ParaCalib"},
        {"display", [](const TParameter& p, TStream& s) { p.WriteParaDisplay(s); },
         [](TParameter& p, TStream& s) { return p.ReadParaDisplay(s); }, 1540,
         "Error in ParamRaw.ReadParaDisplayParamRaw.ReadParaDisplay: read error - ParaFormat"},
        {"acquisition", [](const TParameter& p, TStream& s) { p.WriteParaRaw(s); },
         [](TParameter& p, TStream& s) { return p.ReadParaRaw(s); }, 2,
         "Error in ParamRaw.ReadParaRawParamRaw.ReadParaRaw: read error - ParaNb"},
    };
    for (const Case& c : cases) {
        TTestEnv env;
        TParameter source;
        Scramble(source, 5);
        TMemoryStream s;
        c.write(source, s);
        TMemoryStream cut(std::vector<std::uint8_t>(s.Bytes().begin(), s.Bytes().begin() + c.keep));
        TParameter back;
        EXPECT_FALSE(c.read(back, cut)) << c.what;
        EXPECT_EQ(back.ErrorStatus, ParaFailed) << c.what;
        EXPECT_EQ(env.LogMessages(), std::vector<std::string>{c.logged}) << c.what;
    }
}

TEST(SortedBuffer, OnlyStoredTypesWriteTheirBinnedSeries) {
    TTestEnv env;
    TParameter computed;
    computed.paraRaw.ParaType = Pt_CWC;
    computed.CreateBuffers();
    TMemoryStream s;
    EXPECT_FALSE(computed.WriteSortedBuffer(s));
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(env.LogMessages(),
              std::vector<std::string>{"Error in ParamRaw.WriteSortedBufferTParamSorted."
                                       "WriteSortedBuffer: not a correct parameter type"});
    EXPECT_EQ(env.op.Events(),
              std::vector<std::string>{"Message Error [Error]: Writing sorted buffer"});

    TParameter unprepared;
    unprepared.paraRaw.ParaType = Pt_Raw;
    EXPECT_FALSE(unprepared.WriteSortedBuffer(s));
    EXPECT_TRUE(env.Logged(
        "Error in ParamRaw.WriteSortedBufferTParamSorted.WriteSortedBuffer: SortedBuffer=nil"));
}

TEST(SortedBuffer, RoundTripCreatesTheBufferWhenMissing) {
    TTestEnv env;
    const TParaType stored[] = {Pt_Raw, Pt_Nmea, Pt_Tims, Pt_Ext, pt_Speed, pt_WinchSpeed};
    for (TParaType type : stored) {
        TParameter p;
        p.paraRaw.ParaType = type;
        p.CreateBuffers();
        for (int i = 0; i < 50; ++i)
            p.SortedBuffer->Add(float(i) / 4, std::uint8_t(i % 3 == 0));
        TMemoryStream s;
        ASSERT_TRUE(p.WriteSortedBuffer(s)) << int(type);
        s.Seek(0);
        TParameter back;
        back.paraRaw.ParaType = type;
        ASSERT_TRUE(back.ReadSortedBuffer(s)) << int(type);
        ASSERT_NE(back.SortedBuffer, nullptr);
        EXPECT_EQ(back.SortedBuffer->Count(), 50);
        EXPECT_EQ(back.SortedBuffer->AtFV(3), (TFlaggedValue{0.75f, 1}));
    }
    TParameter text;
    text.paraRaw.ParaType = Pt_header;
    TMemoryStream s;
    EXPECT_FALSE(text.ReadSortedBuffer(s));
    EXPECT_TRUE(env.Logged("Error in ParamRaw.ReadSortedBufferTParamSorted.ReadSortedBuffer: "
                           "not a correct parameter type"));
}

TEST(ParaFrame, SizeAndFrameFlagFollowTypeAndDecoding) {
    struct Case {
        TParaType type;
        TParaConv conv;
        TParaConv convAfter;
        int size;
        bool isFrame;
    };
    const Case cases[] = {
        {Pt_Nmea, ParaConvByte, ParaConvSingle, 4, false},
        {Pt_Ext, ParaConvNone, ParaConvSingle, 4, false},
        {Pt_Calc, ParaConvSingle, ParaConvSingle, 0, false},
        {Pt_Raw, ParaConvWord, ParaConvWord, 2, true},
        {Pt_Raw, ParaConvByte3, ParaConvByte3, 3, true},
        {Pt_Raw, ParaConvSB3, ParaConvSB3, 0, true},
        {Pt_Util, ParaConvByte, ParaConvByte, 1, true},
        {Pt_Util, ParaConvHDF4, ParaConvHDF4, 6, true},
        {Pt_Util, ParaConvHDF6, ParaConvHDF6, 6, true},
        {Pt_Util, ParaConvHDF7, ParaConvHDF7, 8, true},
        {Pt_Tims, ParaConvByte, ParaConvByte, 1, false},
        {pt_WinchSpeed, ParaConvSingle, ParaConvSingle, 4, false},
        {Pt_header, ParaConvSingle, ParaConvSingle, 0, false},
    };
    for (const Case& c : cases) {
        TParameter p;
        p.paraRaw.ParaType = c.type;
        p.paraRaw.ConvType = c.conv;
        p.ParaFrame.SizeByte = 99;
        p.SetParaFrame(5, 23);
        EXPECT_EQ(p.paraRaw.ConvType, c.convAfter) << int(c.type) << "/" << int(c.conv);
        EXPECT_EQ(p.ParaFrame.SizeByte, c.size) << int(c.type) << "/" << int(c.conv);
        EXPECT_EQ(p.ParaFrame.IsFrame, c.isFrame ? 1 : 0) << int(c.type);
        EXPECT_EQ(p.ParaFrame.PosInList, 5);
        EXPECT_EQ(p.ParaFrame.PosInFrame, 5);
        EXPECT_EQ(p.ParaFrame.PtrInframe, 23);
    }
}

TEST(ParameterCopies, AssignmentsCopyExactlyTheirRecords) {
    TParameter source;
    Scramble(source, 11);
    struct Case {
        const char* what;
        std::function<void(TParameter&)> assign;
        bool general, scale, smooth, raw, function, calib, format, text, position;
    };
    const Case cases[] = {
        {"Assign", [&](TParameter& p) { p.Assign(source); }, true, true, true, true, true, false,
         false, false, true},
        {"AssignAcqui", [&](TParameter& p) { p.AssignAcqui(source); }, false, false, false, true,
         false, true, false, false, true},
        {"AssignDisplay", [&](TParameter& p) { p.AssignDisplay(source); }, false, true, true, false,
         false, false, true, false, false},
    };
    for (const Case& c : cases) {
        TParameter p;
        c.assign(p);
        EXPECT_EQ(SameBytes(p.ParaGeneral, source.ParaGeneral), c.general) << c.what;
        EXPECT_EQ(SameBytes(p.ParaScale, source.ParaScale), c.scale) << c.what;
        EXPECT_EQ(SameBytes(p.ParaSmooth, source.ParaSmooth), c.smooth) << c.what;
        EXPECT_EQ(SameBytes(p.paraRaw, source.paraRaw), c.raw) << c.what;
        EXPECT_EQ(SameBytes(p.ParaFunction, source.ParaFunction), c.function) << c.what;
        EXPECT_EQ(SameBytes(p.ParaCalib, source.ParaCalib), c.calib) << c.what;
        EXPECT_EQ(SameBytes(p.ParaFormat, source.ParaFormat), c.format) << c.what;
        EXPECT_EQ(SameBytes(p.ParaText, source.ParaText), c.text) << c.what;
        EXPECT_EQ(p.PosInProbe == source.PosInProbe, c.position) << c.what;
    }
}

TEST(ParameterCopies, MakeCopyCarriesTheDefinitionButNoStateLinksOrBuffers) {
    TTestEnv env;
    TParameter input;
    TParameter source;
    Scramble(source, 13);
    source.ParaGeneral.OrigName.Set("Salinity");
    source.ParaFunction.ParaLink[0] = 101;
    source.ParaFunction.ParaLink[1] = 401;
    source.ParaFunction.LinkNb = 2;
    source.LinkPtr[0] = &input;
    source.CalibPtr = &input;
    source.CreateBuffers();
    source.SortedBuffer->Add(1.0f, 0);
    source.Current = TFlaggedValue{34.5f, 0};

    std::unique_ptr<TParameter> copy = source.MakeCopy();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Link(), source.Link());
    EXPECT_EQ(copy->ParaFunction.LinkNb, 2);
    EXPECT_EQ(copy->LinkPtr[0], nullptr);
    EXPECT_EQ(copy->CalibPtr, nullptr);
    EXPECT_EQ(copy->SortedBuffer, nullptr);
    EXPECT_EQ(copy->InCyBuf, nullptr);
    EXPECT_EQ(copy->SmoothBuffer, nullptr);
    EXPECT_EQ(copy->Current, ZeroFV);
    EXPECT_EQ(copy->PosInProbe, source.PosInProbe);
    EXPECT_TRUE(AllZero(copy->ParaFormat));
    EXPECT_TRUE(AllZero(copy->ParaFrame));
    EXPECT_TRUE(AllZero(copy->ParaGeneral.reserve));
    EXPECT_TRUE(AllZero(copy->ParaCalib.reserve));

    // Named fields come across.
    EXPECT_EQ(copy->ParaGeneral.OrigName.Get(), "Salinity");
    EXPECT_EQ(copy->GetParaNb(), source.GetParaNb());
    EXPECT_TRUE(SameBytes(copy->ParaCalib.calib, source.ParaCalib.calib));
    EXPECT_EQ(copy->ParaScale.Color, source.ParaScale.Color);
    EXPECT_TRUE(SameBytes(copy->ParaScale.CurMax, source.ParaScale.CurMax));
    EXPECT_TRUE(SameBytes(copy->ParaSmooth.SmoothInt, source.ParaSmooth.SmoothInt));
    EXPECT_EQ(copy->ParaText.ParaStr[2].Get(), source.ParaText.ParaStr[2].Get());
    EXPECT_TRUE(SameBytes(copy->ParaInterpol.lastValue, source.ParaInterpol.lastValue));

    copy->ParaGeneral.OrigName.Set("Changed");
    copy->ParaFunction.ParaLink[0] = 0;
    EXPECT_EQ(source.ParaGeneral.OrigName.Get(), "Salinity");
    EXPECT_EQ(source.ParaFunction.ParaLink[0], 101);
}

TEST(ParameterNames, GetParaStrNamesTheParameterForLogLines) {
    TParameter p;
    p.ParaGeneral.ParaNb = 101;
    p.ParaGeneral.OrigName.Set("Pressure");
    EXPECT_EQ(p.GetParaStr(), "Pressure / 101");
}

} // namespace
} // namespace marevo
