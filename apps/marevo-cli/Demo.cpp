#include "Demo.h"

#include "foundation/DataArray.h"
#include "foundation/DateTime.h"
#include "foundation/EventLog.h"
#include "foundation/MarevoTypes.h"
#include "foundation/Runtime.h"
#include "foundation/Stream.h"

#include <fmt/core.h>

#include <cmath>
#include <system_error>

namespace marevo::cli {

namespace fs = std::filesystem;

// Acquires a simulated 24 Hz descent to 100 dbar into the acquisition ring and the cast series,
// stores the series in its binary form, reads it back and checks it, logging as a cast would.
int RunDemo(const fs::path& dataRoot) {
    const fs::path txt = dataRoot / "Txt";
    std::error_code ec;
    fs::create_directories(txt, ec);
    if (ec) {
        fmt::print(stderr, "cannot create {}: {}\n", txt.string(), ec.message());
        return 1;
    }
    if (!OpenLog(txt))
        fmt::print(stderr, "warning: no event log in {}\n", txt.string());
    StatusMessage("Start Data Flow");

    constexpr int Frames = 24 * 200; // 200 s at 24 Hz, 0.5 dbar/s
    TCyclicArray ring(2000);
    TLinearArray pressure;
    for (int i = 0; i < Frames; ++i) {
        const float p = 0.5f * (i / 24.0f) + 0.05f * std::sin(i * 0.3f); // descent with heave
        // A spike every 1000 frames is flagged invalid, as validation would.
        const TFlaggedValue fv{p, std::uint8_t(i % 1000 == 999 ? 1 : 0)};
        ring.AddFV(fv);
        pressure.AddFV(fv);
    }
    StatusMessage("Stop Data Flow");

    const fs::path file = txt / "demo-pressure.bin";
    bool ok = false;
    {
        TFileStream out(file, TFileMode::Create);
        ok = pressure.WriteArray(out);
    }
    TLinearArray back;
    if (ok) {
        TFileStream in(file, TFileMode::OpenRead);
        ok = back.ReadArray(in);
    }
    int invalid = 0;
    for (int i = 0; i < back.Count(); ++i)
        invalid += back.AtFlag(i) != 0;
    ok = ok && back.Count() == Frames;
    for (int i = 0; ok && i < Frames; ++i)
        ok = back.AtFV(i) == pressure.AtFV(i);

    fmt::print("data root      {}\n", dataRoot.string());
    fmt::print("event log      {}\n", EventLog().FileName().string());
    fmt::print("frames         {} ({} flagged invalid)\n", Frames, invalid);
    fmt::print("deepest        {:.2f} dbar\n", pressure.LastValue());
    fmt::print("ring           last slot {}, 1 s ago {:.2f} dbar\n", ring.LastIndice,
               ring.PrecValue(24));
    fmt::print("series file    {} ({} bytes)\n", file.string(), fs::file_size(file, ec));
    fmt::print("read back      {}\n", ok ? "identical" : "DIFFERENT");
    WriteLog(ok ? "Demo cast stored and read back" : "Demo cast read back differs");
    CloseLog();
    return ok ? 0 : 1;
}

} // namespace marevo::cli
