#include "support/CastFrames.h"

#include "app/AppContext.h"
#include "foundation/Stream.h"
#include "probelink/CnvCast.h"
#include "probelink/FrameFormat.h"
#include "probelink/RawStream.h"

#include <gtest/gtest.h>

#include <cmath>

namespace marevo::test {

void BuildDF6Cast(TParamCollection& col, const std::vector<int>& channels) {
    // The computed parameters of the cast come from the probe collection.
    if (ProbeParamCol().Count() == 0) {
        ASSERT_TRUE(ProbeParamCol().DefaultParamCol());
    }
    std::vector<int> numbers{6, 100};
    numbers.insert(numbers.end(), channels.begin(), channels.end());
    numbers.push_back(4);
    for (int n : numbers) {
        TParameter* p = col.Add(std::make_unique<TParameter>());
        p->SetDefPara(n);
        p->SetPosInProbe(col.Count());
        if (p->ParaType() == Pt_Raw) {
            p->paraRaw.ConvType = ParaConvSingle;
            p->paraRaw.CalibType = ParaCalibNone;
        }
    }
    col.ProbeInfo.Protocol = 6;
    ASSERT_TRUE(col.BuildProbeInfo());
}

void WriteDF6(const TParamCollection& col, const std::filesystem::path& file,
              const std::vector<TFrameRow>& rows) {
    TFileStream out(file, TFileMode::Create);
    TSingleFrameWriter writer(out, TFrameFormat::DF6, col.FrameInfo.RawSize);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const TFrameRow& row = rows[k];
        TFrameHead head;
        head.counter = static_cast<std::uint16_t>(row.counter >= 0 ? row.counter : k);
        head.timeCount = static_cast<std::uint64_t>(std::llround(row.time * 1000.0));
        head.bottleNumber = row.bottleNumber;
        head.bottleStatus = row.bottleStatus;
        writer.Write(head, row.values);
    }
    writer.Flush();
}

TReplay::TReplay(TParamCollection& col, const std::filesystem::path& file)
    : col_(col), source_(TRawStream::Create(&col)) {
    source_->OpenFile(file);
}

TReplay::~TReplay() {
    col_.DetachFrameSource();
}

int TReplay::Run() {
    int frames = 0;
    // Each call reads at most one frame's worth; a bound keeps a broken source from hanging.
    for (long calls = 0; !source_->EndOfStream() && calls < 100'000'000; ++calls)
        if (col_.DoAcqui(*source_))
            ++frames;
    return frames;
}

const std::vector<int>& TRealCast::Channels() {
    static const std::vector<int> channels{101, 110, 111, 120, 121, 130, 147, 140};
    return channels;
}

std::filesystem::path RealCastFile() {
    return std::filesystem::path(MAREVO_SOURCE_DIR) / "data" / "real-casts" /
           "south-atlantic-2011-24hz.cnv.bz2";
}

const TRealCast& RealCast() {
    static const TRealCast cast = [] {
        const TCnvCast table = ReadCnvCast(RealCastFile());
        const char* names[] = {"prDM",  "t090C",   "t190C", "c0S/m",
                               "c1S/m", "sbeox0V", "par",   "altM"};
        const double scale[] = {1, 1, 1, 10, 10, 1, 1, 1}; // S/m to mS/cm
        int columns[std::size(names)];
        for (std::size_t i = 0; i < std::size(names); ++i)
            columns[i] = table.Column(names[i]);
        const int timeColumn = table.Column("timeS");
        TRealCast c;
        c.rows.reserve(table.ScanCount());
        for (std::size_t s = 0; s < table.ScanCount(); ++s) {
            TFrameRow row;
            row.time = table.At(s, static_cast<std::size_t>(timeColumn));
            row.counter = static_cast<int>(s % 128);
            for (std::size_t i = 0; i < std::size(names); ++i)
                row.values.push_back(table.At(s, static_cast<std::size_t>(columns[i])) * scale[i]);
            c.deepest = std::max(c.deepest, row.values[0]);
            c.rows.push_back(std::move(row));
        }
        return c;
    }();
    return cast;
}

void ReplayRealCast(TParamCollection& col, const std::filesystem::path& file) {
    WriteDF6(col, file, RealCast().rows);
    col.SetSortInfo();
    TReplay replay(col, file);
    replay.Run();
    col.DoAcquiEnd();
}

} // namespace marevo::test
