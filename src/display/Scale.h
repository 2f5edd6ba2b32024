#pragma once
// One plot axis: its place and length in pixels, the values at both ends, linear or logarithmic.
// TScale chooses the tick values (1-2-5 steps, labelled ticks at least pdelta pixels apart) and
// their labels; the painting layer draws them (ScalePainter.h). Nothing here knows a drawing
// surface, so the tick rules are tested without one.

#include "display/AxisMap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace marevo {

struct TPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const TPoint&) const = default;
};

enum ScalePos : std::uint8_t {
    bas = 0,    // horizontal axis, ticks and labels below it
    gauche = 1, // vertical axis, ticks and labels to its left
};

// Text alignment flags of the drawing surface, combinable: horizontal part 0 left, 2 right,
// 6 centre; vertical part 0 top, 8 bottom, 24 baseline.
namespace textalign {
constexpr std::int32_t Left = 0, Right = 2, Center = 6;
constexpr std::int32_t Top = 0, Bottom = 8, Baseline = 24;
} // namespace textalign

struct TTextInfo {
    std::int32_t Align = 0;
    std::int32_t XOfs = 0, YOfs = 0; // reference point from the origin or tick, pixels
    std::int32_t Height = 0, Width = 0; // font cell, pixels
    std::int32_t Orient = 0;            // tenths of a degree, counter-clockwise
};

struct TScaleInfo {
    std::int32_t TicLen = 0;  // pixels; the sign gives the side
    long double pdelta = 0;   // least distance between labelled ticks, pixels
    TTextInfo TitleInf;
    TTextInfo LabInf;
};

struct RTic {
    long double xp = 0;     // tick value
    std::int32_t ixp = 0;   // pixels from the origin along the axis
    std::string slab;       // label; empty for an unlabelled tick
};

struct TScaleRec {
    std::string title;
    TPoint POrg;
    std::int32_t XLength = 0, YLength = 0;
    long double smin = 0, smax = 0; // values at the origin and at the far end
    long double sext = 0;           // smax - smin
    long double s2i = 0;            // pixels per unit (negative on a reversed axis)
    ScalePos position = bas;
    std::int32_t color = 0;         // 0x00BBGGRR
    std::int32_t ntic = 0;
    std::int32_t PenWidth = 1;
    TScaleInfo sinfo;
    bool ScLog = false;
};

// ---- Nice numbers: 1, 2 or 5 x 10^k -------------------------------------------------------------
// The next 1-2-5 value above / below x > 0 (1 -> 2 -> 5 -> 10). A value that is not itself of that
// form moves to its nearest neighbour of that form in the asked direction.
long double NextUp(long double x);
long double NextDown(long double x);
// 10^(k+1) for x = d x 10^k.
long double NextPowerOfTen(long double x);
// The smallest 1-2-5 value (power of ten) not below x > 0, with a relative tolerance, so that
// 1000 gives 1000.
long double NiceAtLeast(long double x);
long double DecadeAtLeast(long double x);

// Label of value v on an axis of step S: short scientific form ("1.5E5", "2.0E-5") for large and
// small values whose digits allow it, else fixed notation with as many decimals as S needs; at
// most 15 characters (a longer fixed text is written in scientific form instead). The label
// always reads the value of its tick.
std::string ScaleLabel(long double v, long double S);

class TScale {
public:
    TScale() = default;

    // Fills the record for an axis of `length` pixels from org (orientation 0 horizontal, 1
    // vertical), valueAtOrigin at the origin and valueAtEnd at the far end. An axis that cannot
    // be drawn (length below 1, equal or non-finite ends) is refused whole: the record keeps what
    // it held, SetScaleDone becomes false, and the reason goes to the status line and the log
    // (once per reason, not on every resize).
    bool SetScale(std::int32_t orgx, std::int32_t orgy, const std::string& title, bool log,
                  std::int32_t penWidth, std::int32_t color, long double valueAtEnd,
                  long double valueAtOrigin, ScalePos orientation, std::int32_t length);

    // The ticks of the axis (empty before a successful SetScale); ntic follows.
    std::vector<RTic> Prepare();

    bool SetScaleDone() const { return done_; }
    const TScaleRec& Info() const { return rec_; }
    // Value <-> pixel along the axis, as the ticks place them; valid when SetScaleDone.
    const TAxisMap& Map() const { return map_; }

    // Guard against a run-away tick loop; never reached by a drawable axis.
    static constexpr int TickGuard = 100000;

private:
    std::vector<RTic> LinearTicks() const;
    std::vector<RTic> LogTicks() const;
    void Refuse(const std::string& reason);

    TScaleRec rec_;
    TAxisMap map_;
    bool done_ = false;
    std::string lastRefusal_;
};

// Drops the labels of ticks closer than pdelta pixels to a label kept before them; decades are
// kept first, then fives, then twos, then the rest.
void SpaceLabels(std::vector<RTic>& tics, long double pdelta);

} // namespace marevo
