#pragma once
// Casts made of real DF6 frames for the pipeline tests: a cast collection of chosen channels
// (each carried as a single float holding its engineering value), raw files of frames built with
// the frame encoder, their replay through the data source, and the real cast of data/real-casts
// turned into such frames.

#include "processing/ParamCollection.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace marevo {
class TRawStream;
}

namespace marevo::test {

// One frame: time [s], the channel values in the collection's channel order, the bottle byte.
struct TFrameRow {
    double time = 0;
    std::vector<double> values;
    std::uint8_t bottleNumber = 0;
    std::uint8_t bottleStatus = 0;
    int counter = -1; // sequence number; -1: the frame's index
};

// Fills col with a DF6 head (6), the time base (100), the channels and the check word (4), every
// channel a single float taken as it is (no calibration), and builds its frame layout with the
// computed parameters those channels allow (an empty probe collection gets the default one).
void BuildDF6Cast(TParamCollection& col, const std::vector<int>& channels);

// Writes rows as DF6 frames of col's layout (time counter in ms).
void WriteDF6(const TParamCollection& col, const std::filesystem::path& file,
              const std::vector<TFrameRow>& rows);

// Replays a raw file through col's whole per-frame pipeline, as an import does: the data source
// is installed as the current one for the replay. Returns the frames DoAcqui took in.
class TReplay {
public:
    TReplay(TParamCollection& col, const std::filesystem::path& file);
    ~TReplay();
    // DoAcqui until the end of the file; the number of frames taken in.
    int Run();
    TRawStream& Source() { return *source_; }

private:
    TParamCollection& col_;
    std::unique_ptr<TRawStream> source_;
};

// The real 24 Hz cast: pressure, temperatures 1 and 2, conductivities 1 and 2 [mS/cm], oxygen
// sensor voltage, PAR and altimeter, by scan; and the channel numbers that carry them.
struct TRealCast {
    static const std::vector<int>& Channels(); // 101, 110, 111, 120, 121, 130, 147, 140
    std::vector<TFrameRow> rows;
    double deepest = 0; // greatest pressure of the table [dbar]
};
const TRealCast& RealCast();
std::filesystem::path RealCastFile();
// Writes the real cast as DF6 frames of col's layout into file, then bins it through col as a
// replay does: a new binning pass, every frame, the end of the cast.
void ReplayRealCast(TParamCollection& col, const std::filesystem::path& file);

} // namespace marevo::test
