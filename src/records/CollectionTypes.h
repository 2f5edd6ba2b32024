#pragma once
// Enumerations shared by the collections, the pipeline, the binning and the settings. One byte
// each, holding the ordinal as stored.

#include <cstdint>

namespace marevo {

// Kind of file or data; also indexes the environment's folder and extension tables.
enum TFileType : std::uint8_t {
    FileTypeNone,
    FileTypeRaw,
    FileTypeBinary,
    FileTypeText,
    FileTypeDocuments,
    FileTypeProbe,
    FileTypeParam,
    FileTypeConfig,
    FileTypeHeader,
};

enum TDirection : std::uint8_t { DirectionUp, DirectionDown };

// Cast state of the acquisition pipeline.
enum TRealTimeStatus : std::uint8_t {
    rt_none,     // after a reset
    rt_wait,     // frames are shown but not validated
    rt_starting, // the cast has begun; the next frame makes it run
    rt_run,      // recording: frames are validated and binned
    rt_ending,   // the stop condition was met
    rt_end,
    rt_nodata,
};

enum TSortStepType : std::uint8_t {
    SortStepNone,
    SortStepDown,
    SortStepUp,
    SortStepTime,
    SortAddDown,
    SortAddUp,
    SortAddTime,
};

enum TVerticalUnit : std::uint8_t { vu_dbar, vu_meter };

// The six alarms, in the order of their switches and limits.
enum TAlarmType : std::uint8_t { al_alti, al_down, al_up, al_time, al_comm, al_vessel };
constexpr int AlarmCount = 6;

} // namespace marevo
