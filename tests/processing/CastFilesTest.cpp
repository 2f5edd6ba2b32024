// The binary cast file, the text export and its read-back, and the replay of a raw file through
// the whole pipeline.

#include "processing/CastFiles.h"

#include "foundation/DateTime.h"
#include "foundation/Stream.h"
#include "probelink/RawStream.h"
#include "processing/ParaValueContext.h"
#include "processing/ParamCollection.h"
#include "records/Bottles.h"
#include "records/CastInfo.h"
#include "storage/CruiseFile.h"

#include "support/AppEnv.h"
#include "support/CastFrames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <locale>
#include <string>
#include <vector>

namespace marevo {
namespace {

using test::TAppEnv;
using test::TFrameRow;

namespace fs = std::filesystem;

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// Every element of a series, compared by its bytes.
void ExpectSameSeries(const TLinearArray& a, const TLinearArray& b, const std::string& what) {
    ASSERT_EQ(a.Count(), b.Count()) << what;
    ASSERT_EQ(a.MaxIndice, b.MaxIndice) << what;
    EXPECT_EQ(std::memcmp(a.Data(), b.Data(), (a.MaxIndice + 1) * sizeof(TFlaggedValue)), 0)
        << what;
}

// ---- Binary cast file ---------------------------------------------------------------------------

// A cast of pressure, temperature and conductivity replayed from DF6 frames and binned at 1 dbar.
struct TBinRig : TAppEnv {
    TCastInfo header;
    TBottlesCollection bottles;

    TBinRig() {
        Prepare(cast);
        config.AcquiCfg.AcquiMode = AM_Pressure;
        config.AcquiCfg.VertUnit = vu_dbar;
        config.AcquiCfg.VertStep = TExtended::FromDouble(1);
        config.AcquiCfg.VertFirst = TExtended::FromDouble(1);
        config.AcquiCfg.VertMean = 1;
        config.AcquiCfg.VertMeanItv = TExtended::FromDouble(1);
        config.AcquiCfg.AutoStart = SM_Manual;
        config.DataValidation.datasetCount = 0;
        config.DataValidation.maxPresInterval = 10;
        genCfg.CondPTEffect = genCfg.CondLagEffect = 0;
        genCfg.ManualLagCompensation = genCfg.CondForcedFlow = 0;
        header.ID = 7;
        environ.DataRoot.Set((dir / "data").string() + "/");
    }
    void Prepare(TParamCollection& col) {
        test::BuildDF6Cast(col, {101, 110, 120});
        EXPECT_TRUE(col.InitRoundBuffer());
        EXPECT_TRUE(col.InitLinearBuffer());
        col.Loaded.CastHeader = &header;
        col.Loaded.Bottles = &bottles;
    }
    // Down to 6 dbar and back up, four frames a second.
    fs::path WriteProfile(const std::string& name = "cast.raw") {
        std::vector<TFrameRow> rows;
        double t = 1;
        for (double p = 0.5; p <= 6.0; p += 0.25, t += 0.25)
            rows.push_back({t, {p, 12.0 - p / 2, 40.0 + p / 10}});
        for (double p = 6.0; p >= 1.0; p -= 0.25, t += 0.25)
            rows.push_back({t, {p, 12.0 - p / 2 + 0.01, 40.0 + p / 10}});
        const fs::path file = dir / name;
        test::WriteDF6(cast, file, rows);
        return file;
    }
};

int StoredCount(const TParamCollection& col) {
    int n = 0;
    for (const auto& p : col)
        n += TParamRaw::IsStoredType(p->ParaType()) ? 1 : 0;
    return n;
}

TEST(CastBinFile, WrittenAndReadBackGivesTheSameSeriesBitForBit) {
    TBinRig rig;
    ASSERT_TRUE(ReplayRawFile(rig.cast, rig.WriteProfile()));
    ASSERT_EQ(rig.cast.Bin.SortInfo.MaxIndex, 5) << "rows of 1 to 6 dbar";
    const fs::path file = rig.dir / "CR007.bin";
    ASSERT_EQ(rig.cast.BinSave(rig.dir / "CR007.raw"), ParaOk) << "the extension becomes .bin";
    const std::string bytes = test::ReadFileBytes(file);

    // Layout: the count, the binning record with its reserve zeroed, 201 zero bytes, then the
    // first record: position and number of the first stored parameter.
    std::int32_t n = 0;
    std::memcpy(&n, bytes.data(), 4);
    EXPECT_EQ(n, StoredCount(rig.cast));
    TSortInfo stored;
    std::memcpy(&stored, bytes.data() + 4, sizeof stored);
    EXPECT_EQ(stored.MaxIndex, rig.cast.Bin.SortInfo.MaxIndex);
    EXPECT_EQ(stored.MaxDownIndex, rig.cast.Bin.SortInfo.MaxDownIndex);
    EXPECT_TRUE(std::all_of(std::begin(stored.reserve), std::end(stored.reserve),
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(bytes.substr(396, 201), std::string(201, '\0'));
    int firstStored = 0;
    while (!TParamRaw::IsStoredType(rig.cast.Items(firstStored)->ParaType()))
        ++firstStored;
    std::int32_t pos = -1, nb = -1;
    std::memcpy(&pos, bytes.data() + 597, 4);
    std::memcpy(&nb, bytes.data() + 601, 4);
    EXPECT_EQ(pos, firstStored);
    EXPECT_EQ(nb, rig.cast.Items(firstStored)->GetParaNb());

    // Read into another collection of the same cast.
    TParamCollection other;
    rig.Prepare(other);
    ASSERT_TRUE(other.BinRead(file));
    EXPECT_EQ(other.Loaded.TypeLoaded, FileTypeBinary);
    EXPECT_EQ(other.Loaded.FileLoaded, file);
    EXPECT_EQ(std::memcmp(&other.Bin.SortInfo, &stored, sizeof stored), 0);
    for (int i = 0; i < rig.cast.Count(); ++i) {
        const TParameter& p = *rig.cast.Items(i);
        if (TParamRaw::IsStoredType(p.ParaType()))
            ExpectSameSeries(*p.SortedBuffer, *other.Items(i)->SortedBuffer, p.GetParaStr());
    }
    // And written again, the same bytes.
    ASSERT_EQ(other.BinSave(rig.dir / "again.bin"), ParaOk);
    EXPECT_EQ(test::ReadFileBytes(rig.dir / "again.bin"), bytes);
}

TEST(CastBinFile, FileOfAnotherCastIsRefused) {
    TBinRig rig;
    ASSERT_TRUE(ReplayRawFile(rig.cast, rig.WriteProfile()));
    const fs::path file = rig.dir / "cast.bin";
    ASSERT_EQ(rig.cast.BinSave(file), ParaOk);

    // Same positions, but conductivity sensor 2 where the cast had sensor 1.
    TParamCollection other;
    test::BuildDF6Cast(other, {101, 110, 121});
    ASSERT_TRUE(other.InitLinearBuffer());
    other.Loaded.FileLoaded = "before.bin";
    rig.op.Clear();
    EXPECT_FALSE(other.BinRead(file));
    EXPECT_TRUE(
        rig.Logged("Error in TParamCollection.BinReadTAcquiCollection.ReadBin: index<>count"));
    EXPECT_TRUE(Has(rig.op.Events(), "Message Error [Error]: Binary file read"));
    EXPECT_EQ(other.Loaded.TypeLoaded, FileTypeNone);
    EXPECT_EQ(other.Loaded.FileLoaded, "before.bin");

    // A collection with fewer parameters than the positions named.
    TParamCollection small;
    test::BuildDF6Cast(small, {101, 110});
    ASSERT_TRUE(small.InitLinearBuffer());
    EXPECT_FALSE(small.BinRead(file));
}

TEST(CastBinFile, FileCutShortIsRefusedWhereverItEnds) {
    TBinRig rig;
    ASSERT_TRUE(ReplayRawFile(rig.cast, rig.WriteProfile()));
    const fs::path file = rig.dir / "cast.bin";
    ASSERT_EQ(rig.cast.BinSave(file), ParaOk);
    const std::string bytes = test::ReadFileBytes(file);
    struct Case {
        std::size_t size;
        const char* message;
    } cases[] = {
        {2, "TAcquiCollection.ReadBin: read error - count"},
        {100, "TAcquiCollection.ReadBin: read error - SortInfo"},
        {500, "TAcquiCollection.ReadBin: read error - reserve"},
        {597, "TAcquiCollection.ReadBin: bad value - count"},
        {bytes.size() - 1, nullptr}, // inside the last series: the array reader names it
    };
    for (const Case& c : cases) {
        WriteBytes(rig.dir / "short.bin", bytes.substr(0, c.size));
        rig.op.Clear();
        EXPECT_FALSE(rig.cast.BinRead(rig.dir / "short.bin")) << c.size;
        EXPECT_EQ(rig.cast.Loaded.TypeLoaded, FileTypeNone) << c.size;
        EXPECT_TRUE(Has(rig.op.Events(), "Message Error [Error]: Binary file read")) << c.size;
        if (c.message) {
            EXPECT_TRUE(rig.Logged(std::string("Error in TParamCollection.BinRead") + c.message))
                << c.size;
        }
    }
    EXPECT_TRUE(rig.Logged("Error in TParamCollection.BinReadTAcquiCollection.ReadBin: read "
                           "error - " +
                           rig.cast.FindPara(120)->GetParaStr()))
        << "the last record is the conductivity's";
}

TEST(CastBinFile, FileWithoutRecordsRestoresTheBinningRecordOnly) {
    TBinRig rig;
    TSortInfo info = rig.cast.Bin.SortInfo;
    info.MaxIndex = 41;
    info.MaxDownIndex = 20;
    std::string bytes(CastFileHeadSize, '\0');
    std::memcpy(bytes.data() + 4, &info, sizeof info);
    WriteBytes(rig.dir / "empty.bin", bytes);
    ASSERT_TRUE(rig.cast.BinRead(rig.dir / "empty.bin"));
    EXPECT_EQ(rig.cast.Bin.SortInfo.MaxIndex, 41);
    EXPECT_EQ(rig.cast.Bin.SortInfo.MaxDownIndex, 20);
    EXPECT_EQ(rig.cast.FindPara(101)->SortedBuffer->Count(), 0);
}

TEST(CastBinFile, SaveAsBinAsksAndWritesTheCurrentCastsFile) {
    TBinRig rig;
    EXPECT_EQ(rig.cast.SaveAsBin(false), ParaFailed);
    EXPECT_TRUE(Has(rig.op.Events(), "Message Information []: No Data Loaded!"));

    ASSERT_TRUE(ReplayRawFile(rig.cast, rig.WriteProfile("CR007.raw")));
    rig.config.GenCfg.CruiseName.Set("CR");
    const fs::path bin = rig.dir / "data" / "CR" / "bin";
    fs::create_directories(bin);
    rig.op.Clear();
    rig.op.ScriptAnswers({false, true});
    EXPECT_EQ(rig.cast.SaveAsBin(true), ParaOk);
    EXPECT_FALSE(fs::exists(bin / "CR007.bin")) << "Cancel writes nothing";
    EXPECT_EQ(rig.op.Events().front(),
              "Confirm [Save As Binary File]: Save Current Data as: CR007.BIN -> Cancel");
    EXPECT_EQ(rig.probe.SaveAsBin(true), ParaFailed) << "the collection it is called on";
    EXPECT_FALSE(fs::exists(bin / "CR007.bin"));
    EXPECT_EQ(rig.cast.SaveAsBin(true), ParaOk);
    ASSERT_TRUE(fs::exists(bin / "CR007.bin"));
}

// ---- Text export --------------------------------------------------------------------------------

// A cast table filled by hand: pressure (3 file decimals), temperature (4) and time (in the
// general time unit), with a header and the text settings of the data export.
struct TTextRig : TAppEnv {
    TCastInfo header;
    TCastInfo cruise;
    TTextFileCfg& cfg = config.DataTextCfg;

    TTextRig() {
        for (int n : {101, 110, 400, 800}) {
            TParameter* p = cast.Add(std::make_unique<TParameter>());
            p->SetDefPara(n);
            p->CreateBuffers(4);
        }
        cast.FindPara(101)->ParaText.Decimal[txt_File] = 3;
        cast.FindPara(110)->ParaText.Decimal[txt_File] = 4;
        for (int n : {1000, 924}) {
            TParameter* p = probe.Add(std::make_unique<TParameter>());
            p->SetDefPara(n);
        }
        cast.Loaded.CastHeader = &header;
        cast.Loaded.CruiseHeader = &cruise;
        header.InfoStr[0].Set("CR007");
        header.CastTime[0] = EncodeDateTime(2026, 3, 9, 23, 59, 0);
        cfg = TTextFileCfg{};
        Columns({101, 110, 400});
        cfg.Separator = sep_space;
        cfg.Direction = Direction_Both;
        cfg.TimeUnit = Time_Second;
        genCfg.TimeUnit = Time_Second;
        cast.Loaded.TypeLoaded = FileTypeBinary;
        environ.DataRoot.Set((dir / "data").string() + "/");
    }
    void Columns(std::initializer_list<int> numbers) {
        cfg.ParaList.count = static_cast<int>(numbers.size());
        std::copy(numbers.begin(), numbers.end(), cfg.ParaList.List);
    }
    void Heads(std::initializer_list<int> numbers) {
        cfg.HeadList.count = static_cast<int>(numbers.size());
        std::copy(numbers.begin(), numbers.end(), cfg.HeadList.List);
    }
    // Rows of pressure, temperature and time; maxDown: the deepest row.
    void Table(const std::vector<std::array<TFlaggedValue, 3>>& rows, int maxDown) {
        const int numbers[] = {101, 110, 400};
        for (int c = 0; c < 3; ++c) {
            TLinearArray& s = *cast.FindPara(numbers[c])->SortedBuffer;
            s.Clear();
            for (const auto& row : rows)
                s.AddFV(row[c]);
        }
        cast.Bin.SortInfo.MaxIndex = static_cast<int>(rows.size()) - 1;
        cast.Bin.SortInfo.MaxDownIndex = maxDown;
    }
    void FourRows() {
        Table({{{{1.5f, 0}, {10.25f, 0}, {0.0f, 0}}},
               {{{2.5f, 0}, {10.5f, 0}, {1.25f, 0}}},
               {{{3.5f, 0}, {10.75f, 0}, {2.5f, 0}}},
               {{{2.0f, 0}, {10.125f, 0}, {3.75f, 0}}}},
              2);
    }
    std::string Export(bool append = false, bool onTimeout = false, std::int32_t* start = nullptr) {
        std::int32_t own = 0;
        EXPECT_TRUE(cast.TxtSave(dir / "out.txt", append, onTimeout, start ? *start : own));
        return test::ReadFileBytes(dir / "out.txt");
    }
};

TEST(CastTextExport, SeparatorsJoinTheFieldsOfEachRow) {
    struct Case {
        TTextSeparator separator;
        const char* expected;
    } cases[] = {
        {sep_space, "1.500 10.2500 0.000\r\n2.500 10.5000 1.250\r\n3.500 10.7500 2.500\r\n"
                    "2.000 10.1250 3.750\r\n"},
        {sep_tab, "1.500\t10.2500\t0.000\r\n2.500\t10.5000\t1.250\r\n3.500\t10.7500\t2.500\r\n"
                  "2.000\t10.1250\t3.750\r\n"},
        {sep_comma, "1.500,10.2500,0.000\r\n2.500,10.5000,1.250\r\n3.500,10.7500,2.500\r\n"
                    "2.000,10.1250,3.750\r\n"},
    };
    for (const Case& c : cases) {
        TTextRig rig;
        rig.FourRows();
        rig.cfg.Separator = c.separator;
        EXPECT_EQ(rig.Export(), c.expected) << int(c.separator);
    }
}

TEST(CastTextExport, DirectionChoosesTheRowsAndTheDeepestRowIsInBothHalves) {
    struct Case {
        TDisplayDirection direction;
        const char* expected;
    } cases[] = {
        {Direction_Down, "1.500\r\n2.500\r\n3.500\r\n"},
        {Direction_Up, "3.500\r\n2.000\r\n"},
        {Direction_Both, "1.500\r\n2.500\r\n3.500\r\n2.000\r\n"},
        {Direction_None, "1.500\r\n"},
    };
    for (const Case& c : cases) {
        TTextRig rig;
        rig.FourRows();
        rig.Columns({101});
        rig.cfg.Direction = c.direction;
        EXPECT_EQ(rig.Export(), c.expected) << int(c.direction);
    }
}

TEST(CastTextExport, TimeColumnInEachUnit) {
    const TDateTime start = EncodeDateTime(2026, 3, 9, 23, 59, 0);
    struct Case {
        double seconds;
        TTimeUnit unit;
        const char* expected;
    } cases[] = {
        {90, Time_Second, "90.000"},
        {90, Time_Minute, "1.5000"},
        {5400, Time_hour, "1.50000"},
        {43200, Time_Day, "0.500000"},
        {3725.4, Time_hhhmmss, "001:02:05"},
        {3724.5, Time_hhhmmss, "001:02:04"}, // halves to the even second
        {3725.5, Time_hhhmmss, "001:02:06"},
        {3600000, Time_hhhmmss, "000:00:00"}, // only the last three hour digits
        {65.6, Time_hmsd, "000:01:05.600"},
        {30, Time_DateTime, "09/03/2026 23:59:30"},
        {60, Time_DateTime, "10/03/2026"}, // midnight exactly: the date alone
        {30.25, Time_DateTime_Hmsd, "09/03/2026 23:59:30.250"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExportTimeText(c.seconds, c.unit, start), c.expected)
            << c.seconds << " s, unit " << int(c.unit);

    // In the file, the series counts in the general time unit (minutes here).
    TTextRig rig;
    rig.genCfg.TimeUnit = Time_Minute;
    rig.cfg.TimeUnit = Time_hmsd;
    rig.Columns({400});
    rig.Table({{{{0, 0}, {0, 0}, {1.5f, 0}}}}, 0);
    EXPECT_EQ(rig.Export(), "000:01:30.000\r\n");
}

TEST(CastTextExport, NumbersKeepEightDigitsAndThePointWhateverTheLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "de_DE is not installed";
    const std::locale savedCpp = std::locale::global(std::locale("de_DE.UTF-8"));
    struct Case {
        double value;
        int decimals;
        const char* expected;
    } cases[] = {
        {10.0, 3, "10.000"},    {123456.789, 3, "123456.790"}, // 8 significant digits, then zeros
        {-0.00001, 3, "0.000"}, {1.5e8, 2, "1.5000000E+08"},   {-2.25, 0, "-2"},
    };
    std::vector<std::string> got;
    for (const Case& c : cases)
        got.push_back(ExportNumberText(c.value, c.decimals));
    std::locale::global(savedCpp);
    std::setlocale(LC_ALL, saved.c_str());
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(got[i], cases[i].expected) << cases[i].value;
}

TEST(CastTextExport, NegatedVerticalAxisAndPositionColumn) {
    TTextRig rig;
    rig.Table({{{{10.0f, 0}, {4.0f, 0}, {0, 0}}}}, 0);
    rig.cast.FindPara(800)->SortedBuffer->AddFV({45.5125f, 0});
    rig.Columns({101, 800});
    rig.cfg.YMinus = 1;
    rig.cfg.PosFormat = Pos_Minute;
    EXPECT_EQ(rig.Export(), "-10.000 45\xB0"
                            "30.7500\r\n")
        << "the degree sign is the byte 0xB0";
}

TEST(CastTextExport, FlaggedFieldIsMarkedAndItsRowWrittenWhenExactlyOneSwitchIsSet) {
    struct Case {
        bool showFlagged, button, written;
    } cases[] = {
        {false, false, false},
        {true, false, true},
        {false, true, true},
        {true, true, false},
    };
    for (const Case& c : cases) {
        TTextRig rig;
        rig.Table({{{{1.0f, 0}, {7.5f, 1}, {2.0f, 0}}}, {{{2.0f, 0}, {7.25f, 0}, {3.0f, 0}}}}, 1);
        rig.config.DataValidation.ShowFlagged = c.showFlagged;
        SetShowDataErrorButton(c.button);
        const std::string text = rig.Export();
        SetShowDataErrorButton(false);
        const std::string second = "2.000 7.2500 3.000\r\n";
        EXPECT_EQ(text, c.written ? "1.000 7.5000** 2.000\r\n" + second : second)
            << c.showFlagged << c.button;
    }
}

TEST(CastTextExport, SmoothedColumnWhenAskedAndTheParameterSmooths) {
    for (const bool useSmoothing : {false, true}) {
        TTextRig rig;
        rig.FourRows();
        rig.Columns({110});
        TParameter& temp = *rig.cast.FindPara(110);
        temp.ParaSmooth.SmoothType = Smo_Mean;
        temp.ParaSmooth.FilterLength(Smo_Mean) = 2;
        rig.cfg.UseSmoothing = useSmoothing;
        // Running means of two rows: 10.25, (10.25 + 10.5) / 2, (10.5 + 10.75) / 2, ...
        EXPECT_EQ(rig.Export(), useSmoothing ? "10.2500\r\n10.3750\r\n10.6250\r\n10.4375\r\n"
                                             : "10.2500\r\n10.5000\r\n10.7500\r\n10.1250\r\n");
    }
}

TEST(CastTextExport, ColumnTheCastDoesNotHoldIsMarkedWithoutHidingTheRows) {
    TTextRig rig;
    rig.FourRows();
    TParameter* oxygen = rig.probe.Add(std::make_unique<TParameter>());
    oxygen->SetDefPara(130);
    oxygen->ParaText.Decimal[txt_File] = 2;
    rig.Columns({101, 130});
    rig.cfg.Direction = Direction_None;
    EXPECT_EQ(rig.Export(), "1.500 0.00**\r\n");
}

TEST(CastTextExport, HeaderLinesComeFirstWithTheirPrompts) {
    TTextRig rig;
    rig.FourRows();
    rig.cfg.Direction = Direction_None;
    rig.Heads({1000, 924});
    rig.cfg.AddPrompt = 1;
    rig.probe.FindPara(1000)->ParaText.ParaStr[txt_File].Set("Cast: ");
    rig.probe.FindPara(924)->ParaText.ParaStr[txt_File].Set("");
    rig.cast.FindPara(101)->ParaText.ParaStr[txt_File].Set("Pres");
    rig.cast.FindPara(110)->ParaText.ParaStr[txt_File].Set("Temp");
    rig.cast.FindPara(400)->ParaText.ParaStr[txt_File].Set("Time");
    EXPECT_EQ(rig.Export(), "Cast: CR007\r\nPres Temp Time\r\n1.500 10.2500 0.000\r\n");
}

TEST(CastTextExport, TableWithoutRowsExportsTheHeaderAlone) {
    TTextRig rig;
    rig.Heads({1000});
    rig.Table({}, -1);
    EXPECT_EQ(rig.Export(), "CR007\r\n") << "no row 0 made of unused storage";
}

TEST(CastTextExport, PeriodicExportWritesTheHeaderOnceAndThenOnlyNewRows) {
    TTextRig rig;
    rig.Heads({1000});
    rig.Columns({101});
    const fs::path file = rig.dir / "out.txt";
    std::int32_t start = 0;

    rig.Table({}, -1);
    EXPECT_TRUE(rig.cast.TxtSave(file, true, true, start));
    EXPECT_FALSE(fs::exists(file)) << "nothing binned yet: the header waits for the first rows";
    EXPECT_EQ(start, 0);

    rig.Table({{{{1, 0}, {0, 0}, {0, 0}}}, {{{2, 0}, {0, 0}, {0, 0}}}}, 1);
    EXPECT_EQ(rig.Export(true, true, &start), "CR007\r\n1.000\r\n2.000\r\n");
    EXPECT_EQ(start, 2);

    rig.Table({{{{1, 0}, {0, 0}, {0, 0}}},
               {{{2, 0}, {0, 0}, {0, 0}}},
               {{{3, 0}, {0, 0}, {0, 0}}},
               {{{2.5f, 0}, {0, 0}, {0, 0}}}},
              2);
    EXPECT_EQ(rig.Export(true, true, &start), "CR007\r\n1.000\r\n2.000\r\n3.000\r\n2.500\r\n");
    EXPECT_EQ(start, 4);
    EXPECT_EQ(rig.Export(true, true, &start), "CR007\r\n1.000\r\n2.000\r\n3.000\r\n2.500\r\n")
        << "no new row, nothing appended";

    // Not periodic: the file is written again whole.
    EXPECT_EQ(rig.Export(), "CR007\r\n1.000\r\n2.000\r\n3.000\r\n2.500\r\n");
}

TEST(CastTextExport, ColumnListFaultIsToldAndNothingIsWritten) {
    struct Case {
        std::vector<int> columns;
        const char* message;
    } cases[] = {
        {{}, "Parameter list empty"},
        {{101, 4242}, "Parameter not found:  - 4242"},
    };
    for (const Case& c : cases) {
        TTextRig rig;
        rig.FourRows();
        rig.cfg.ParaList.count = static_cast<int>(c.columns.size());
        std::copy(c.columns.begin(), c.columns.end(), rig.cfg.ParaList.List);
        std::int32_t start = 0;
        EXPECT_FALSE(rig.cast.TxtSave(rig.dir / "out.txt", false, false, start));
        EXPECT_FALSE(fs::exists(rig.dir / "out.txt"));
        EXPECT_TRUE(rig.Logged(std::string("Error in TParamCollection.TxtSave") + c.message));
        EXPECT_TRUE(Has(rig.op.Events(), std::string("Message Warning [Warning]: Cannot export "
                                                     "parameters!\r\n") +
                                             c.message));
    }
}

TEST(CastTextExport, SaveAsTxtWritesIntoTheCruiseTextFolderOrTheManualOne) {
    TTextRig rig;
    rig.FourRows();
    rig.Columns({101});
    rig.cast.Loaded.TypeLoaded = FileTypeNone;
    EXPECT_EQ(rig.cast.SaveAsTxt(), ParaFailed);

    rig.cast.Loaded.TypeLoaded = FileTypeBinary;
    rig.cast.Loaded.FileLoaded = "/somewhere/CR007.bin";
    rig.genCfg.CruiseName.Set("CR");
    rig.environ.DataRoot.Set("");
    EXPECT_EQ(rig.cast.SaveAsTxt(), ParaFailed) << "no folder taken from the working folder";
    EXPECT_FALSE(fs::exists("CR"));
    rig.environ.DataRoot.Set((rig.dir / "data").string() + "/");
    EXPECT_EQ(rig.probe.SaveAsTxt(), ParaFailed) << "the collection it is called on";
    EXPECT_EQ(rig.cast.SaveAsTxt(), ParaOk);
    EXPECT_EQ(test::ReadFileBytes(rig.dir / "data" / "CR" / "txt" / "CR007.txt"),
              "1.500\r\n2.500\r\n3.500\r\n2.000\r\n");

    rig.config.ExtractionFoldersCfg.ManualExtractionFolderEnabled = 1;
    rig.config.ExtractionFoldersCfg.ManualExtractionFolderName.Set((rig.dir / "manual").string());
    EXPECT_EQ(rig.cast.SaveAsTxt(), ParaOk);
    EXPECT_TRUE(fs::exists(rig.dir / "manual" / "CR007.txt"));
}

// ---- Text read-back -----------------------------------------------------------------------------

std::vector<TFlaggedValue> Series(const TParamCollection& col, int number) {
    const TLinearArray& s = *col.FindPara(number)->SortedBuffer;
    return std::vector<TFlaggedValue>(s.Data(), s.Data() + s.Count());
}

TEST(CastTextRead, OnlyWholeLinesOfNumbersAreRead) {
    TTextRig rig;
    rig.Heads({1000});
    const fs::path file = rig.dir / "in.txt";
    WriteBytes(file, "CR007\r\n"
                     "  10.5  2.25\r\n"  // the third field is missing
                     "1 2\r\n"           // too short
                     "1.0\t2.0\t3.0\r\n" // tab-separated
                     "1.0,2.0,3.0\r\n"   // comma-separated
                     "Col 1 : Pres [dbar]\r\n"
                     "3.0 4.0** 5.0\r\n"       // flagged
                     "20.5 3.5x 001:00:01\r\n" // a letter
                     "  20.5 3.5 1e1\n"
                     "7.0 8.0 9.0"); // no LF: not a line yet
    rig.cast.Bin.SortInfo.MaxIndex = 99;
    ASSERT_TRUE(rig.cast.TxtRead(file));
    EXPECT_EQ(rig.cast.Loaded.TypeLoaded, FileTypeText);
    EXPECT_EQ(rig.cast.Loaded.FileLoaded, file);
    EXPECT_EQ(rig.cast.Bin.SortInfo.MaxIndex, 1);
    EXPECT_EQ(rig.cast.Bin.SortInfo.MaxDownIndex, 1);
    const auto pres = Series(rig.cast, 101), temp = Series(rig.cast, 110),
               time = Series(rig.cast, 400);
    ASSERT_EQ(pres.size(), 2u);
    ASSERT_EQ(temp.size(), 2u);
    ASSERT_EQ(time.size(), 2u);
    EXPECT_EQ(pres[0], (TFlaggedValue{10.5f, 0}));
    EXPECT_EQ(temp[0], (TFlaggedValue{2.25f, 0}));
    EXPECT_EQ(time[0], InvalidFV);
    EXPECT_EQ(pres[1], (TFlaggedValue{20.5f, 0}));
    EXPECT_EQ(time[1], (TFlaggedValue{10.0f, 0}));
}

TEST(CastTextRead, FieldsAsTimesNumbersOrFlaggedRemnants) {
    struct Case {
        const char* field;
        bool decoded;
        TFlaggedValue value;
    } cases[] = {
        {"", true, InvalidFV},
        {"2.5", true, {2.5f, 0}},
        {"-1.25E2", true, {-125.0f, 0}},
        {"1.5-2", true, {1.5f, 1}},
        {"-", true, InvalidFV},
        {"001:02:05", true, {3725.0f, 0}},
        {"000:01:05.600", true, {65.6f, 0}},
        {"12:34:56", true, {45296.0f, 0}},
        {"1:2:3:4", false, {}},
        {"1:75:00", false, {}},
        {"::", false, {}},
    };
    for (const Case& c : cases) {
        const auto v = ReadExportField(c.field);
        ASSERT_EQ(v.has_value(), c.decoded) << c.field;
        if (v) {
            EXPECT_EQ(*v, c.value) << c.field;
        }
    }
}

TEST(CastTextRead, HeaderCutShortOrUndecodableTimeFails) {
    TTextRig rig;
    rig.Heads({1000, 924});
    const fs::path file = rig.dir / "in.txt";
    WriteBytes(file, "CR007\r\n");
    EXPECT_FALSE(rig.cast.TxtRead(file));
    EXPECT_TRUE(rig.Logged("Error in TParamCollection.TxtRead.ReadHeaderTProbeCollection.TxtRead."
                           "ReadHeader: End of file detected"));
    EXPECT_TRUE(Has(rig.op.Events(), "Message Error [Error]: Txt file read hedaer"));
    EXPECT_EQ(rig.cast.Loaded.TypeLoaded, FileTypeNone);

    WriteBytes(file, "CR007\r\nPres\r\n1.0 2.0 1:2:3:4\r\n");
    EXPECT_FALSE(rig.cast.TxtRead(file));
    EXPECT_TRUE(Has(rig.op.Events(), "Message Error [Error]: Txt file read data"));
    EXPECT_FALSE(rig.cast.TxtRead(rig.dir / "missing.txt"));
    EXPECT_TRUE(Has(rig.op.Events(), "Message Error [Error]: Txt file read"));
}

TEST(CastTextRead, SpaceSeparatedExportReadsBackToThePrintedPrecision) {
    struct Case {
        TTimeUnit unit;
        double timeStep; // printed resolution of the time column [s]
    } cases[] = {{Time_Second, 0.001}, {Time_Minute, 0.006}, {Time_hhhmmss, 1}, {Time_hmsd, 0.001}};
    for (const Case& c : cases) {
        TTextRig rig;
        rig.Heads({1000, 924});
        rig.cfg.YMinus = 1;
        rig.cfg.TimeUnit = c.unit;
        rig.genCfg.TimeUnit = Time_Second;
        std::vector<std::array<TFlaggedValue, 3>> rows;
        for (int i = 0; i < 40; ++i)
            rows.push_back(
                {{{1.0f + i * 0.987654f, 0}, {12.0f - i * 0.0312345f, 0}, {i * 4.16666f, 0}}});
        rig.Table(rows, 25);
        const std::string text = rig.Export();
        ASSERT_TRUE(rig.cast.TxtRead(rig.dir / "out.txt"));
        const auto pres = Series(rig.cast, 101), temp = Series(rig.cast, 110),
                   time = Series(rig.cast, 400);
        ASSERT_EQ(pres.size(), rows.size()) << text;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_NEAR(pres[i].value, rows[i][0].value, 0.0005 + 1e-5) << i;
            EXPECT_NEAR(temp[i].value, rows[i][1].value, 0.00005 + 1e-6) << i;
            EXPECT_NEAR(time[i].value, rows[i][2].value, c.timeStep / 2 + 1e-4) << i;
            EXPECT_EQ(pres[i].flag + temp[i].flag + time[i].flag, 0) << i;
        }
    }
}

// ---- Raw file replay ----------------------------------------------------------------------------

TEST(CastRawReplay, ReplayedTwiceGivesByteIdenticalBinaryFiles) {
    TBinRig rig;
    const fs::path raw = rig.WriteProfile();
    ASSERT_TRUE(ReplayRawFile(rig.cast, raw));
    EXPECT_EQ(rig.cast.Loaded.TypeLoaded, FileTypeRaw);
    EXPECT_EQ(rig.cast.Loaded.FileLoaded, raw);
    const int frames = rig.cast.Acqui.RawIndex;
    EXPECT_EQ(frames, 44);
    EXPECT_EQ(rig.header.DataSetNb, frames);
    EXPECT_TRUE(rig.Logged("Start Import RawFile " + raw.string()));
    EXPECT_TRUE(rig.Logged("Import Raw File completed"));
    EXPECT_TRUE(rig.Logged("End import Raw File Num.Frame[44] Invalid Frame[0]Validate errors[0]"));
    EXPECT_TRUE(rig.Logged("CRC Error[0] TIME Error[0]"));
    ASSERT_EQ(rig.cast.BinSave(rig.dir / "first.bin"), ParaOk);

    ASSERT_TRUE(ReplayRawFile(rig.cast, raw));
    EXPECT_EQ(rig.cast.Acqui.RawIndex, frames);
    ASSERT_EQ(rig.cast.BinSave(rig.dir / "second.bin"), ParaOk);
    EXPECT_EQ(test::ReadFileBytes(rig.dir / "first.bin"),
              test::ReadFileBytes(rig.dir / "second.bin"));

    // The same as the pipeline driven frame by frame on a fresh collection.
    TParamCollection fresh;
    rig.Prepare(fresh);
    fresh.SetSortInfo();
    {
        test::TReplay replay(fresh, raw);
        replay.Run();
        fresh.DoAcquiEnd();
    }
    ASSERT_EQ(fresh.BinSave(rig.dir / "direct.bin"), ParaOk);
    EXPECT_EQ(test::ReadFileBytes(rig.dir / "direct.bin"),
              test::ReadFileBytes(rig.dir / "first.bin"));
}

TEST(CastRawReplay, EmptyOrMissingRawFileIsRefused) {
    TBinRig rig;
    WriteBytes(rig.dir / "short.raw", std::string(9, '\x01'));
    EXPECT_FALSE(ReplayRawFile(rig.cast, rig.dir / "short.raw"));
    EXPECT_TRUE(rig.Logged("ParamCollection error ReadRawFileRaw File is empty, import aborted"));
    EXPECT_TRUE(Has(rig.op.Events(), "Message Error [Error]: Raw file read"));
    EXPECT_EQ(rig.cast.Loaded.TypeLoaded, FileTypeNone);

    rig.op.Clear();
    EXPECT_FALSE(ReplayRawFile(rig.cast, rig.dir / "missing.raw"));
    EXPECT_TRUE(Has(rig.op.Events(), "Message Error [Error]: Raw file read"));
    EXPECT_EQ(rig.op.Events().back(), "Progress Import Raw File 0/0")
        << "the progress display ends";

    // While another data source runs, the collection it may be filling is left alone.
    ASSERT_TRUE(ReplayRawFile(rig.cast, rig.WriteProfile()));
    const int rows = rig.cast.Bin.SortInfo.MaxIndex;
    const auto running = TRawStream::Create(&rig.cast);
    rig.cast.DoAcqui(*running); // attaches the source, which has no file and gives no frame
    EXPECT_FALSE(ReplayRawFile(rig.cast, rig.dir / "cast.raw"));
    rig.cast.DetachFrameSource();
    EXPECT_TRUE(rig.Logged("ParamCollection error ReadRawFileanother data source is running"));
    EXPECT_EQ(rig.cast.Bin.SortInfo.MaxIndex, rows);
    EXPECT_EQ(rig.cast.Loaded.TypeLoaded, FileTypeRaw);
}

TEST(CastRawReplay, RealCastImportedAndExportedAgreesWithItsDirectBinning) {
    TAppEnv env;
    TCastInfo header;
    TBottlesCollection bottles;
    TAcquiCfg& acq = env.config.AcquiCfg;
    acq.AcquiMode = AM_Pressure;
    acq.VertUnit = vu_dbar;
    acq.VertStep = TExtended::FromDouble(1);
    acq.VertFirst = TExtended::FromDouble(1);
    acq.VertMean = 1;
    acq.VertMeanItv = TExtended::FromDouble(1);
    acq.VertAlghMethod = TExtended::FromDouble(1);
    acq.AutoStart = SM_Manual;
    env.config.DataValidation.datasetCount = 10;
    env.config.DataValidation.maxPresInterval = 0.75f;
    const auto prepare = [&](TParamCollection& col) {
        test::BuildDF6Cast(col, test::TRealCast::Channels());
        EXPECT_TRUE(col.InitRoundBuffer());
        EXPECT_TRUE(col.InitLinearBuffer());
        col.Loaded.CastHeader = &header;
        col.Loaded.Bottles = &bottles;
    };
    prepare(env.cast);
    const fs::path raw = env.dir / "real.raw";
    test::WriteDF6(env.cast, raw, test::RealCast().rows);

    // Binned directly, frame by frame, with the salinity computed from the binned inputs.
    TParamCollection direct;
    prepare(direct);
    direct.SetSortInfo();
    {
        test::TReplay replay(direct, raw);
        replay.Run();
        direct.DoAcquiEnd();
    }
    TParameter* salinity = direct.FindPara(404);
    ASSERT_NE(salinity, nullptr);
    ASSERT_TRUE(
        salinity->CalcUpdated(ValueContextOf(direct, env.genCfg, env.config.DataValidation, 0)));

    // Imported, exported, read back.
    ASSERT_TRUE(ReplayRawFile(env.cast, raw));
    TTextFileCfg& cfg = env.config.DataTextCfg;
    cfg = TTextFileCfg{};
    cfg.ParaList.count = 3;
    cfg.ParaList.List[0] = 101;
    cfg.ParaList.List[1] = 110;
    cfg.ParaList.List[2] = 404;
    cfg.Direction = Direction_Both;
    std::int32_t start = 0;
    ASSERT_TRUE(env.cast.TxtSave(env.dir / "real.txt", false, false, start));
    const int rows = direct.Bin.SortInfo.MaxIndex + 1;
    ASSERT_GT(rows, 100);
    EXPECT_EQ(start, rows);
    ASSERT_TRUE(env.cast.TxtRead(env.dir / "real.txt"));
    for (int number : {101, 110, 404}) {
        const TParameter& p = *direct.FindPara(number);
        const double halfStep = 0.5 * std::pow(10.0, -p.ParaText.Decimal[txt_File]);
        const auto read = Series(env.cast, number);
        ASSERT_EQ(static_cast<int>(read.size()), rows) << number;
        for (int i = 0; i < rows; ++i) {
            const TFlaggedValue want = p.SortedBuffer->AtFV(i);
            ASSERT_TRUE(want.Valid()) << number << " row " << i;
            ASSERT_EQ(read[i].flag, 0) << number << " row " << i;
            ASSERT_NEAR(read[i].value, want.value, halfStep * 1.0001 + 1e-5 * std::fabs(want.value))
                << number << " row " << i;
        }
    }
}

TEST(CastRawReplay, StoredCastIsReprocessedIntoItsBinaryFileAndCruiseEntry) {
    TBinRig rig;
    rig.probe.DefaultParamCol();
    rig.genCfg.CruiseName.Set("CR");
    const fs::path root = rig.dir / "data";
    fs::create_directories(root);
    TParamCollection held;
    TCruisefile file(held);
    ASSERT_TRUE(file.NewCruise(root, [](TCastInfo& c) {
        c.InfoStr[1].Set("CR");
        c.InfoStr[2].Set("CR");
        return true;
    }));
    ASSERT_TRUE(file.AddNextCast());
    test::BuildDF6Cast(held, {101, 110, 120});
    ASSERT_TRUE(file.AppendCast(true));
    test::WriteDF6(held, file.RawPath(), [] {
        std::vector<TFrameRow> rows;
        for (int k = 0; k < 40; ++k)
            rows.push_back({1 + k * 0.25, {0.5 + k * 0.2, 10.0, 40.0}});
        return rows;
    }());

    // The cast as a stored cast is opened: header and probe block from the cruise file.
    const fs::path cruise = root / "CR" / "CR.cru";
    const auto open = [&] {
        EXPECT_TRUE(file.OpenCruiseFile(cruise));
        EXPECT_TRUE(file.ReadCastNb(1));
        held.Loaded.CastHeader = &file.CastInfoc.Cast;
        held.Loaded.CruiseHeader = &file.CastInfoc.Cruise;
        held.Loaded.Bottles = &file.CastInfoc.Bottles;
        EXPECT_TRUE(held.InitRoundBuffer());
        EXPECT_TRUE(held.InitLinearBuffer());
    };
    open();
    ASSERT_TRUE(ReplayRawFile(held, file.RawPath()));
    ASSERT_EQ(held.BinSave(file.BinPath()), ParaOk);
    ASSERT_TRUE(file.WriteCastNb());
    const int rows = held.Bin.SortInfo.MaxIndex + 1;
    ASSERT_EQ(rows, 8) << "1 to 8 dbar";
    file.CloseCruiseFile();

    open();
    EXPECT_EQ(file.CastInfoc.Cast.DataSetNb, 40) << "the cruise entry counts the frames";
    ASSERT_TRUE(held.BinRead(file.BinPath()));
    EXPECT_EQ(held.Bin.SortInfo.MaxIndex + 1, rows);
    EXPECT_FLOAT_EQ(held.FindPara(101)->SortedBuffer->AtFV(7).value, 8.0f);
    file.CloseCruiseFile();
}

} // namespace
} // namespace marevo
