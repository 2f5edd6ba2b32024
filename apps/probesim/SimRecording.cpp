#include "SimRecording.h"

#include "SimDevice.h"
#include "SimProbe.h"
#include "SimProfile.h"

#include "app/AppContext.h"
#include "foundation/EventLog.h"
#include "foundation/Guard.h"
#include "foundation/Runtime.h"
#include "foundation/Stream.h"
#include "probelink/CnvCast.h"
#include "probelink/FileComm.h"
#include "probelink/QvlUtil.h"
#include "processing/ParamCollection.h"
#include "records/CastInfo.h"
#include "records/Environ.h"
#include "storage/CastImport.h"

#include <fmt/core.h>

#include <array>
#include <cmath>

namespace marevo::sim {

namespace fs = std::filesystem;

namespace {

// Seconds of a synthetic cast from the start of the flow until it is back at the surface.
double SyntheticSeconds(const TSyntheticCast& c) {
    return c.soakSeconds + 2 * (c.bottomPressure - c.soakPressure) / c.winchSpeed +
           c.bottomSeconds + 10;
}

// The identification asks for DF7 first when it is enabled, then DF6, then DF5: DF7 is enabled
// for a DF7 recording only, so that the probe is not asked for a format it does not know. The
// setting is put back afterwards.
struct TDf7Enabled {
    std::uint8_t* flag = nullptr;
    std::uint8_t saved = 0;
    explicit TDf7Enabled(bool enabled) {
        try {
            flag = &Environ().DF7Enabling;
            saved = *flag;
            *flag = enabled ? 1 : 0;
        } catch (const EMarevoError&) {
            flag = nullptr; // no environment: the protocol then asks for DF7 only when enabled
        }
    }
    ~TDf7Enabled() {
        if (flag)
            *flag = saved;
    }
};

} // namespace

bool RecordSimulatedCast(const fs::path& raw, const TSimRecording& options,
                         TSimRecordingResult& result) {
    result = {};
    const std::optional<TTripletNames> names = TripletOfRaw(raw);
    if (!names || raw.extension() != ".raw") {
        result.error = raw.string() + ": a recording's name ends in \".raw\"";
        return false;
    }
    result.raw = names->raw;
    result.xfr = names->xfr;
    result.ext = names->ext;
    try {
        TSimProbeSettings settings;
        settings.format = options.format;
        settings.formats = {options.format};
        settings.scanRate = options.scanRate;
        settings.memory.clear();
        std::shared_ptr<const IProfile> profile;
        double seconds = options.seconds;
        if (options.cnvCast.empty()) {
            TSyntheticCast cast;
            cast.bottomPressure = options.bottomPressure;
            cast.seaBed = options.bottomPressure + 10;
            profile = MakeSyntheticProfile(cast);
            if (seconds <= 0)
                seconds = SyntheticSeconds(cast);
        } else {
            profile = LoadCnvProfile(options.cnvCast, options.scanRate);
            if (seconds <= 0) // the whole recorded cast, once
                seconds = static_cast<double>(ReadCnvCast(options.cnvCast).ScanCount()) /
                          options.scanRate;
        }
        auto probe = std::make_shared<TSimProbe>(settings, profile);
        TFileCOMM port(std::make_unique<TSimProbeDevice>(probe));

        // Identification, as at the start of a cast: it writes the transcript beside the raw file.
        TDf7Enabled df7(options.format == 7);
        TParamCollection identified;
        TCastInfo header;
        header.latitude[0] = header.latitude[2] = TExtended::FromDouble(options.latitude);
        header.longitude[0] = header.longitude[2] = TExtended::FromDouble(options.longitude);
        identified.Loaded.CastHeader = &header;
        TQvlUtil qvl(&identified);
        double delays[10];
        std::copy(DefaultCommDelay.begin(), DefaultCommDelay.end(), delays);
        delays[6] = 0.05; // the simulated probe needs no long pause between commands
        qvl.SetDelay(delays);
        qvl.CurrentCastRawPath = [&] { return result.raw; };
        if (!qvl.GetProbeInfoA(-1, &port)) {
            qvl.CloseXfrFile();
            result.error = "the simulated probe was not identified: " + qvl.ErrorReport();
            return false;
        }
        if (!identified.BuildProbeInfo()) {
            qvl.CloseXfrFile();
            result.error = "the identified channels give no frame layout";
            return false;
        }
        result.frameSize = identified.FrameInfo.RawSize;

        // The data flow, taken as it comes, is the raw file.
        TFileStream rawFile(result.raw, TFileMode::Create);
        qvl.WriteXfrStart(Clock().Now());
        identified.Acqui.ProbeOnLine = true;
        if (!qvl.SendProbeCommand(cm_OL, port)) {
            qvl.CloseXfrFile();
            result.error = "the simulated probe did not start its data flow: " + qvl.ErrorReport();
            return false;
        }
        std::array<char, 64 * 1024> buffer;
        const std::uint64_t start = Clock().TickMs();
        const auto total = static_cast<std::uint64_t>(std::llround(seconds * 1000));
        std::uint64_t lastProgress = 0;
        for (std::uint64_t elapsed = 0; elapsed < total; elapsed = Clock().TickMs() - start) {
            Clock().SleepMs(100);
            for (std::size_t n; (n = port.Read(buffer.data(), buffer.size())) > 0;)
                if (rawFile.Write(buffer.data(), n) != n)
                    Raise("cannot write " + result.raw.string());
            if (elapsed - lastProgress >= 60'000) { // every simulated minute
                lastProgress = elapsed;
                if (!Operator().Progress("Recording the simulated cast",
                                         static_cast<std::int64_t>(elapsed / 1000),
                                         static_cast<std::int64_t>(total / 1000)))
                    Raise("recording cancelled by the operator");
            }
        }
        Operator().Progress("Recording the simulated cast", static_cast<std::int64_t>(total / 1000),
                            static_cast<std::int64_t>(total / 1000));
        result.frames = probe->FramesSent();
        result.seconds = seconds;
        if (!qvl.Stop(port))
            WriteLog("RecordSimulatedCast: the simulated probe did not stop its data flow");
        qvl.CompleteXfrFile();
        qvl.CloseXfrFile();
        TFileStream ext(result.ext, TFileMode::Create); // no GPS or external sensor
        return true;
    } catch (const std::exception& e) {
        result.error = e.what();
        return false;
    }
}

} // namespace marevo::sim
