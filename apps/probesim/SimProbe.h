#pragma once
// The simulated probe, with the rosette it drives and the memory of the casts it recorded. It
// speaks the command protocol byte by byte (two-letter commands ended by LF, answers ended by
// CR LF, "ER nnn" refusals, ^T for attention, DEL), sends DF5, DF6 or DF7 frames at its scan rate
// from OL until SO (heard after ^T, as every command during the flow), and moves the bottle number and status of the frame heads as its
// rosette fires. It owns no device: the caller hands it the bytes received and the time, and
// takes the bytes it has to send, so the same object serves a pseudo-terminal and the tests.

#include "SimProfile.h"

#include "platform/Clock.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace marevo::sim {

// One channel of the probe as its SS and CA answers describe it.
struct TSimChannel {
    int code = 0;              // the probe's code (SS list, CA)
    int length = 4;            // bytes in a frame: 4 = IEEE single, 3 = 24-bit tenths
    double offset = 0;         // calibration: value = offset + slope * raw
    double slope = 1;
    TDateTime calDate = 45731; // 15 March 2025
};

// The default probe: pressure, two temperatures, two conductivities, oxygen raw, PAR,
// transmission. Codes as the probe numbers them.
std::vector<TSimChannel> DefaultChannels();
// "0,1,2,82:3,83" - probe codes, ":3" for a 3-byte channel; empty list or an unknown code
// raises std::invalid_argument.
std::vector<TSimChannel> ParseChannelList(std::string_view text);
// The engineering value a channel of that code reads in that water.
double ChannelValue(int code, const TWater& water);

// A cast kept in the probe's memory.
struct TSimMemoryCast {
    int number = 1;
    int sets = 600; // frames
    std::string mode = "LINEAR";
    std::string name = "CAST001";
    double interval = 0.5;
    TDateTime start = 46080.4; // 27 February 2026
};

// A fault of the memory transfer: set `set` of memory cast `cast` is lost (not sent, the next
// follows), flipped (one bit of it changed) or stalls the transfer (the probe falls silent before
// it until the transmission is restarted), the first `times` times it is sent.
struct TSimSetFault {
    enum TKind { Lose, Flip, Stall } kind = Lose;
    int cast = 1;
    int set = 0;
    int times = 1;
};

// Faults injected into what the probe sends.
struct TSimFaults {
    double dropRate = 0;     // probability per byte of losing it
    double flipRate = 0;     // probability per byte of one flipped bit
    double insertRate = 0;   // probability per byte of an extra random byte before it
    double silenceAt = -1;   // s after start: the probe sends nothing for silenceFor s
    double silenceFor = 0;
    double gapAt = -1;       // s after the data flow started: no frames for gapFor s
    double gapFor = 0;
    bool binaryInAnswers = false; // frame bytes arrive before each answer
    bool lowerCase = false;       // answers in lower case
    double vanishAt = -1;         // s after the data flow started: the port disappears
    double vanishFor = -1;        // s until the port is back under the same name; -1: never
    std::vector<TSimSetFault> setFaults; // memory transfer
    double rosetteMuteAt = -1;    // s after start: FB ignored, GO/RS/RQ answer "ER 010"
    bool rosetteStuck = false;    // a fired bottle is accepted and never closes
    int rosErrorAt = 0;           // this position reports a rosette error instead of closing
    int cmdErrorAt = 0;           // this position refuses the fire command
    std::uint32_t seed = 12345;
};
// "drop=0.001,flip=0.0005,insert=0.001,silence=10:3,gap=20:2,bindata,lower,vanish=60,
// lose-set=1:40,flip-set=2:70,stall=3:100:2,rosette-mute=30,rosette-stuck,roserror=4,cmderror=5"
// ("vanish=60:10": back after 10 s; memory faults CAST:SET[:TIMES]);
// raises std::invalid_argument for anything it does not know.
TSimFaults ParseFaults(std::string_view text);

struct TSimProbeSettings {
    std::string serial = "KPR-0712345";
    std::string firmware = "CTD7 FIRMWARE:4.12"; // the probe answers in capitals
    double battery = 12.4;  // V
    double scanRate = 24;   // frames per second
    int format = 6;         // data format until a DF command sets another
    std::vector<int> formats = {5, 6, 7}; // data formats the firmware knows
    std::vector<TSimChannel> channels = DefaultChannels();
    int rosetteType = 1;    // TRosetteType ordinal; 0 = no rosette
    int rosettePositions = 12;
    double fireTimeOut = 5; // s, reported by RT
    double homeTimeOut = 30;
    double closeSeconds = 2;  // s from the FB command to the bottle reported closed
    double homeSeconds = 3;   // s a GO takes
    int rosetteSerial = 1234;
    int armPosition = 0;
    double rosetteVolts = 11.9;
    std::vector<TSimMemoryCast> memory = {TSimMemoryCast{}};
    int memorySets = 65536; // capacity in frames
    double answerDelay = 0.02; // s between a command and its answer
    double lineRate = 115200;  // bits per second of the line: paces a memory transfer
    double eraseSeconds = 2;   // s a DM takes
    TSimFaults faults;
};

class TSimProbe {
public:
    TSimProbe(TSimProbeSettings settings, std::shared_ptr<const IProfile> profile);

    // Bytes from the host at nowMs (any monotonic millisecond count).
    void Receive(std::span<const std::uint8_t> bytes, std::uint64_t nowMs);
    // What the probe has sent by nowMs, faults applied.
    std::string TakeOutput(std::uint64_t nowMs);

    // ---- State, for the program's log and the tests --------------------------------------------
    int Format() const { return format_; }
    bool Flowing() const { return flowing_; }
    std::uint64_t FramesSent() const { return framesSent_; }
    const std::vector<std::string>& Commands() const { return commands_; }
    const TSimProbeSettings& Settings() const { return s_; }
    int BottleNumber() const { return bottleNumber_; }
    int BottleStatus(std::uint64_t nowMs) const;
    // Positions fired (FB heard), in order.
    const std::vector<int>& Fired() const { return firedList_; }

    // ---- What the probe answers (the tests derive their expectations from these) ---------------
    std::string SSAnswer() const;
    std::string CAAnswer(int code) const; // "ER 004" for a code it does not have
    // Frame head code and check-field code of the current format (310/311, 303/304).
    int HeadCode() const;
    int CheckCode() const;
    int FrameSize() const;
    // Frame k of a flow started at time 0, at t seconds.
    std::vector<std::uint8_t> Frame(std::uint64_t k, double t, std::uint64_t nowMs) const;
    // Data set k of a memory cast, as a transfer sends it (before the transfer faults).
    std::vector<std::uint8_t> MemorySet(const TSimMemoryCast& cast, std::uint64_t k) const;
    // A memory transfer is under way (sets still to send).
    bool Transferring() const { return uploadLeft_ > 0; }
    // Memory transfers started (CD commands taken).
    int TransfersStarted() const { return transfers_; }

private:
    // The channels' bytes for that water, in the frame's order.
    std::vector<std::uint8_t> Channels(const TWater& water) const;

    void Command(const std::string& line, std::uint64_t nowMs);
    void Answer(const std::string& text, std::uint64_t nowMs, double delay = -1);
    void Emit(std::string bytes, std::uint64_t dueMs);
    void Attention(std::uint64_t nowMs);
    void MakeFrames(std::uint64_t nowMs);
    std::string Faulty(std::string bytes, std::uint64_t dueMs);

    struct TPending {
        std::uint64_t dueMs;
        std::string bytes;
    };

    TSimProbeSettings s_;
    std::shared_ptr<const IProfile> profile_;
    int format_;
    std::string line_;
    std::deque<TPending> out_;
    std::vector<std::string> commands_;
    bool started_ = false;
    std::uint64_t startMs_ = 0;
    // Data flow
    bool flowing_ = false;
    bool listening_ = false; // ^T heard during the flow: the next line is a command
    std::uint64_t flowStartMs_ = 0;
    std::uint64_t framesSent_ = 0;
    std::uint64_t flowFrames_ = 0;
    // Memory transfer (CD): frames still to send
    std::uint64_t uploadLeft_ = 0;
    std::uint64_t uploadNext_ = 0;
    double uploadClockMs_ = 0; // when the next set is on the line
    int uploadCast_ = 0;       // index in s_.memory
    int transfers_ = 0;
    // Rosette
    int bottleNumber_ = 0;
    std::uint64_t fireMs_ = 0;
    bool fired_ = false;
    std::vector<int> firedList_;
    bool RosetteMute(std::uint64_t nowMs) const;
    bool homing_ = false;
    std::uint64_t homeDoneMs_ = 0;
    int homeTarget_ = 0;
    int rosettePosition_ = 0;
    std::mt19937 random_;
};

} // namespace marevo::sim
