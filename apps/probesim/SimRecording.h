#pragma once
// A small-logger recording made with the simulated probe: the probe is identified through the
// command protocol (which writes the ".xfr" transcript), then its data flow is taken as the ".raw"
// file, as a logger keeps it. The ".ext" file is empty: the simulated logger has no GPS or
// external sensor. Everything runs in the time of the clock seam, so with a fake clock a cast of
// an hour is recorded in a few seconds.

#include <cstdint>
#include <filesystem>
#include <string>

namespace marevo::sim {

struct TSimRecording {
    int format = 6;                 // data format: 5, 6 or 7
    double seconds = 0;             // of data flow; 0: the whole cast
    std::filesystem::path cnvCast;  // a recorded cast to play; empty: a synthetic cast
    double bottomPressure = 200;    // synthetic cast: where the winch stops [dbar]
    double scanRate = 24;           // frames per second
    double latitude = -17.97851;    // start and end position, decimal degrees
    double longitude = -37.22533;
};

struct TSimRecordingResult {
    std::filesystem::path raw, xfr, ext;
    std::uint64_t frames = 0; // sent by the probe during the recording
    int frameSize = 0;        // bytes
    double seconds = 0;       // of data flow
    std::string error;        // why the recording failed
};

// Records into raw (whose name must end in ".raw") and its companions. Needs the application
// objects installed (the identification copies the probe collection's parameters).
bool RecordSimulatedCast(const std::filesystem::path& raw, const TSimRecording& options,
                         TSimRecordingResult& result);

} // namespace marevo::sim
