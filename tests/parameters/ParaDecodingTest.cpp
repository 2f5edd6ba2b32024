#include "parameters/Parameter.h"

#include "processing/ParamCollection.h"
#include "support/AppEnv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace marevo {
namespace {

using test::TAppEnv;
using TBytes = std::vector<std::uint8_t>;

// A frame parameter of the cast collection decoding conv at offset ptr.
TParameter* FrameParameter(TAppEnv& env, int number, TParaConv conv, int ptr = 0) {
    TParameter* p = env.cast.Add(std::make_unique<TParameter>());
    p->SetDefPara(number);
    p->paraRaw.ConvType = conv;
    p->SetParaFrame(env.cast.Count() - 1, ptr);
    return p;
}

TEST(ParaDecode, FieldConversions) {
    struct Case {
        const char* what;
        TParaConv conv;
        TBytes frame;
        int ptr;
        TFlaggedValue expected;
    };
    const float threeAndHalf = 3.5f;
    TBytes single(5, 0);
    std::memcpy(single.data() + 1, &threeAndHalf, 4);
    const Case cases[] = {
        {"byte", ParaConvByte, {0x00, 0xC8}, 1, {200.0f, 0}},
        {"word, little-endian", ParaConvWord, {0x34, 0x12}, 0, {4660.0f, 0}},
        {"single, bit for bit", ParaConvSingle, single, 1, {3.5f, 0}},
        {"24 bits, sign bit set", ParaConvByte3, {0xFF, 0xFF, 0xFF}, 0, {-0.1f, 0}},
        {"24 bits, the byte after ignored",
         ParaConvByte3,
         {0x10, 0x27, 0x00, 0x7F},
         0,
         {1000.0f, 0}},
        {"24 bits, most negative", ParaConvByte3, {0x00, 0x00, 0x80}, 0, {-838860.8f, 0}},
        {"declared but not decoded", ParaConvSB3, {0x01, 0x02, 0x03}, 0, {0.0f, 0}},
        {"none", ParaConvNone, {0x01}, 0, {0.0f, 0}},
    };
    for (const Case& c : cases) {
        TAppEnv env;
        TParameter* p = FrameParameter(env, 110, c.conv, c.ptr);
        EXPECT_TRUE(p->ParaDecode(c.frame, env.cast.DecodeContext())) << c.what;
        EXPECT_EQ(p->Decoded.flag, c.expected.flag) << c.what;
        EXPECT_FLOAT_EQ(p->Decoded.value, c.expected.value) << c.what;
        EXPECT_TRUE(env.LogMessages().empty()) << c.what;
    }
}

// A field that does not lie inside the frame reads nothing beyond it.
TEST(ParaDecode, FieldOutsideTheFrameIsFlaggedAndLogged) {
    struct Case {
        TParaConv conv;
        int ptr;
        std::string message;
    };
    const Case cases[] = {
        {ParaConvSingle, 3, "field of 4 bytes at offset 3 outside the frame of 6 bytes"},
        {ParaConvWord, -1, "field of 2 bytes at offset -1 outside the frame of 6 bytes"},
        {ParaConvByte, 6, "field of 1 bytes at offset 6 outside the frame of 6 bytes"},
    };
    for (const Case& c : cases) {
        TAppEnv env;
        TParameter* p = FrameParameter(env, 110, c.conv, c.ptr);
        EXPECT_TRUE(p->ParaDecode(TBytes(6, 0x11), env.cast.DecodeContext()));
        EXPECT_EQ(p->Decoded, InvalidFV);
        EXPECT_EQ(
            env.LogMessages(),
            std::vector<std::string>{
                "Error in ParaRaw.ParaDecode: result set to 0.0 and value is flagged" + c.message});
    }
}

// DF5 header: b0 bit 7 unit (0.01 s), bits 0-6 counter; b1..4 time counter; b5 bottle byte.
TBytes Df5(std::uint8_t b0, std::uint32_t counter, std::uint8_t bottle = 0) {
    return {b0,
            std::uint8_t(counter),
            std::uint8_t(counter >> 8),
            std::uint8_t(counter >> 16),
            std::uint8_t(counter >> 24),
            bottle};
}

struct THeaderFixture {
    TAppEnv env;
    TParameter* time = nullptr;
    TParameter* head = nullptr;

    explicit THeaderFixture(int headNumber) {
        time = FrameParameter(env, 100, ParaConvNone);
        head = FrameParameter(env, headNumber, ParaConvNone);
        head->paraRaw.ConvType = headNumber == 3   ? ParaConvHDF4
                                 : headNumber == 7 ? ParaConvHDF7
                                                   : ParaConvHDF5;
        env.cast.Acqui.ParaTims = time;
    }
    void Decode(const TBytes& frame) {
        ASSERT_TRUE(head->ParaDecode(frame, env.cast.DecodeContext()));
        EXPECT_EQ(head->Decoded, ZeroFV);
    }
};

TEST(HeaderDecoding, Df5TimeUnitsOriginAndCounter) {
    THeaderFixture f(5);
    const THeaderDecodeState& h = f.env.cast.Acqui.HeaderState;
    f.Decode(Df5(0x85, 123456));
    EXPECT_FLOAT_EQ(h.AbsoluteTime, 1234.56f);
    EXPECT_FLOAT_EQ(h.RelativeTime, 1234.56f);
    EXPECT_EQ(f.time->Current, (TFlaggedValue{1234.56f, 0}));
    EXPECT_EQ(h.FrameCounter, 5);

    // Millisecond unit: before the cast the origin follows the probe clock.
    f.Decode(Df5(0x06, 10000));
    EXPECT_FLOAT_EQ(h.TimeOrigin, 10.0f);
    EXPECT_FLOAT_EQ(h.RelativeTime, 0.0f);
    EXPECT_EQ(h.PrevFrameCounter, 5);
    EXPECT_EQ(h.FrameCounter, 6);

    // Once the cast runs, the origin stays and the time counts from it.
    f.env.cast.Acqui.S_RTStatus = rt_run;
    f.Decode(Df5(0x07, 12500));
    EXPECT_FLOAT_EQ(h.TimeOrigin, 10.0f);
    EXPECT_FLOAT_EQ(h.AbsoluteTime, 12.5f);
    EXPECT_FLOAT_EQ(h.RelativeTime, 2.5f);
    EXPECT_EQ(f.time->Current, (TFlaggedValue{2.5f, 0}));

    // The time-base parameter's calibration returns that time.
    f.time->paraRaw.CalibType = ParaCalibQVLTime;
    f.time->Decoded = ZeroFV;
    f.time->ParaCalibrate(f.env.cast.DecodeContext());
    EXPECT_EQ(f.time->Calibrated, (TFlaggedValue{2.5f, 0}));
}

TEST(HeaderDecoding, BottleNumberAndStatusByFormat) {
    struct Step {
        TBytes frame;
        int number;
        TBottleStatus status;
    };
    struct Case {
        const char* what;
        int head;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"DF4: status only once two frames agree",
         3,
         {{Df5(0x01, 0, 0x43), 3, btl_Ready},
          {Df5(0x02, 0, 0x43), 3, btl_Closed},
          {Df5(0x03, 0, 0x24), 4, btl_Closed},
          {Df5(0x04, 0, 0x24), 4, btl_CmdOK}}},
        {"DF5: every frame", 5, {{Df5(0x01, 0, 0x43), 3, btl_Closed}}},
        {"DF7: status in b0, number in b7",
         7,
         {{{0x7B, 0x22, 1, 0, 0, 0, 0, 12}, 12, btl_NoRosette}}},
    };
    for (const Case& c : cases) {
        THeaderFixture f(c.head);
        for (const Step& s : c.steps) {
            f.Decode(s.frame);
            EXPECT_EQ(f.env.cast.BtlAlarm.C_BtlNumber, s.number) << c.what;
            EXPECT_EQ(f.env.cast.BtlAlarm.C_BtlStatus, s.status) << c.what;
        }
    }
}

TEST(HeaderDecoding, Df7CounterAndFortyBitTime) {
    THeaderFixture f(7);
    // b0 0x83: unit 0.01 s, counter high bits 3; time counter 0x01_0000_0000 counts.
    f.Decode({0x83, 0x22, 0x00, 0x00, 0x00, 0x00, 0x01, 0});
    EXPECT_EQ(f.env.cast.Acqui.HeaderState.FrameCounter, 3 * 256 + 0x22);
    EXPECT_FLOAT_EQ(f.env.cast.Acqui.HeaderState.AbsoluteTime, float(4294967296.0L * 0.01L));
}

// A header that cannot be decoded stops the frame: the caller learns it and the log names the
// frame; nothing is written to the collection.
TEST(HeaderDecoding, TruncatedHeaderFailsWithTheFrameIndex) {
    THeaderFixture f(7);
    f.env.cast.Acqui.RawIndex = 42;
    f.env.cast.BtlAlarm.C_BtlNumber = 9;
    EXPECT_FALSE(f.head->ParaDecode(TBytes(7, 0xFF), f.env.cast.DecodeContext()));
    EXPECT_EQ(f.head->Decoded, InvalidFV);
    EXPECT_EQ(f.env.cast.BtlAlarm.C_BtlNumber, 9);
    EXPECT_EQ(f.env.LogMessages(),
              std::vector<std::string>{"Error in ParamRaw.ParaDecode(DecodeHead)field of 8 "
                                       "bytes at offset 0 outside the frame of 7 bytes42"});
}

TEST(ParaCalibrate, CalibrationTypes) {
    constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* what;
        TParaCalibType type;
        std::vector<long double> coefs;
        TFlaggedValue decoded;
        TFlaggedValue expected;
    };
    const Case cases[] = {
        {"none copies", ParaCalibNone, {}, {2.5f, 0}, {2.5f, 0}},
        {"linear", ParaCalibLinear, {1, 2}, {3, 0}, {7, 0}},
        {"poly3 uses three coefficients", ParacalibPoly3, {1, 2, 3, 4}, {2, 0}, {17, 0}},
        {"poly5", ParacalibPoly5, {1, 1, 1, 1, 1, 9}, {2, 0}, {31, 0}},
        {"poly8", ParacalibPoly8, {0, 0, 0, 0, 0, 0, 0, 1, 5}, {2, 0}, {128, 0}},
        {"poly5 of 1e36 is refused", ParacalibPoly5, {1e36L}, {2, 0}, InvalidFV},
        {"poly5 just below 1e35 is kept", ParacalibPoly5, {9.9e34L}, {2, 0}, {9.9e34f, 0}},
        {"pressure less its offset c7",
         ParaCalibPres0,
         {10, 2, 0, 0, 0, 0, 0, 1.5},
         {5, 0},
         {18.5f, 0}},
        {"fresh-water conductivity in mS/cm", ParaCalibFresh, {0, 1000}, {2, 0}, {2, 0}},
        {"wet-lab", ParaCalibWetLab, {50, 0.01L}, {250, 0}, {2, 0}},
        {"log", ParaCalibLog, {}, {1, 0}, {0, 0}},
        {"dummy", ParaCalibDummy, {5}, {7, 0}, {0, 0}},
        {"PAR", ParaCalibPar, {5}, {7, 0}, {0, 0}},
        {"flagged decoded value", ParaCalibLinear, {1, 2}, {3, 1}, {0, 1}},
        {"flagged decoded value, no calibration", ParaCalibNone, {}, {3, 1}, {0, 1}},
        {"NaN decoded value", ParaCalibNone, {}, {NaN, 0}, InvalidFV},
        {"linear overflow", ParaCalibLinear, {0, 1e38L}, {1e30f, 0}, InvalidFV},
    };
    for (const Case& c : cases) {
        TAppEnv env;
        TParameter* p = FrameParameter(env, 110, ParaConvSingle);
        p->paraRaw.CalibType = c.type;
        for (std::size_t i = 0; i < c.coefs.size(); ++i)
            p->ParaCalib.calib[i] = TExtended::FromLongDouble(c.coefs[i]);
        p->Decoded = c.decoded;
        p->ParaCalibrate(env.cast.DecodeContext());
        EXPECT_EQ(p->Calibrated.flag, c.expected.flag) << c.what;
        EXPECT_FLOAT_EQ(p->Calibrated.value, c.expected.value) << c.what;
        EXPECT_TRUE(env.LogMessages().empty()) << c.what;
    }
}

TEST(ParaCalibrate, LogarithmOfZeroIsLoggedAndFlagged) {
    TAppEnv env;
    TParameter* p = FrameParameter(env, 110, ParaConvSingle);
    p->paraRaw.CalibType = ParaCalibLog;
    p->Decoded = ZeroFV;
    p->ParaCalibrate(env.cast.DecodeContext());
    EXPECT_EQ(p->Calibrated, InvalidFV);
    EXPECT_EQ(env.LogMessages(),
              std::vector<std::string>{"Error in ParaRaw.ParaCalibrate, calibrated was flagged"
                                       "Invalid floating point operation: ln(0)"});
}

// Speeds come from the pipeline and the winch meter is its own decoded value, whatever the
// calibration type.
TEST(ParaCalibrate, PipelineParameters) {
    struct Case {
        int number;
        TFlaggedValue decoded;
        TFlaggedValue expected;
    };
    const Case cases[] = {
        {105, {3, 0}, {0.75f, 0}},
        {810, {3, 0}, {1.25f, 0}},
        {809, {3, 0}, {3, 0}},
        {809, {3, 1}, {3, 1}},
    };
    for (const Case& c : cases) {
        TAppEnv env;
        env.cast.Acqui.C_SpeedLow = 0.75L;
        env.cast.Acqui.C_WinchSpeed = 1.25L;
        TParameter* p = FrameParameter(env, c.number, ParaConvByte);
        p->paraRaw.CalibType = ParacalibPoly5;
        p->ParaCalib.calib[1] = TExtended::FromDouble(100);
        p->Decoded = c.decoded;
        p->ParaCalibrate(env.cast.DecodeContext());
        EXPECT_EQ(p->Calibrated, c.expected) << c.number;
    }
}

} // namespace
} // namespace marevo
