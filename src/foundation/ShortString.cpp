#include "foundation/ShortString.h"

#include <array>

namespace marevo {

namespace {

// Code points of bytes 0x80..0x9F. The undefined bytes map to the C1 control of the same value;
// every other byte of Windows-1252 equals its code point.
constexpr std::array<char32_t, 32> HighControlsBlock = {
    U'\u20AC', U'\u0081', U'\u201A', U'\u0192', U'\u201E', U'\u2026', U'\u2020', U'\u2021',
    U'\u02C6', U'\u2030', U'\u0160', U'\u2039', U'\u0152', U'\u008D', U'\u017D', U'\u008F',
    U'\u0090', U'\u2018', U'\u2019', U'\u201C', U'\u201D', U'\u2022', U'\u2013', U'\u2014',
    U'\u02DC', U'\u2122', U'\u0161', U'\u203A', U'\u0153', U'\u009D', U'\u017E', U'\u0178',
};

char32_t CodePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return HighControlsBlock[byte - 0x80];
    return byte;
}

// The Windows-1252 byte of a code point, or '?' when it has none.
char ByteOf(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<char>(codePoint);
    for (std::size_t i = 0; i < HighControlsBlock.size(); ++i) {
        if (HighControlsBlock[i] == codePoint)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        // Windows-1252 reaches no further than U+2122.
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

} // namespace

std::string Utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }

        // Sequence length and the range allowed for the second byte, which is where overlong
        // forms, surrogates and code points above U+10FFFF are ruled out.
        std::size_t length = 0;
        unsigned char secondLow = 0x80;
        unsigned char secondHigh = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                secondLow = 0xA0;
            else if (lead == 0xED)
                secondHigh = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                secondLow = 0x90;
            else if (lead == 0xF4)
                secondHigh = 0x8F;
        } else {
            out += '?';
            ++i;
            continue;
        }

        char32_t codePoint = lead & (0x7F >> length);
        std::size_t taken = 1;
        bool complete = true;
        for (; taken < length; ++taken) {
            if (i + taken >= utf8.size()) {
                complete = false;
                break;
            }
            const unsigned char next = static_cast<unsigned char>(utf8[i + taken]);
            const bool inRange =
                taken == 1 ? (next >= secondLow && next <= secondHigh) : IsContinuation(next);
            if (!inRange) {
                complete = false;
                break;
            }
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        // A broken sequence gives one '?' and decoding resumes at the byte that broke it.
        out += complete ? ByteOf(codePoint) : '?';
        i += taken;
    }
    return out;
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
    std::string out;
    out.reserve(cp1252.size() + cp1252.size() / 2);
    for (const char c : cp1252)
        AppendUtf8(out, CodePointOf(static_cast<unsigned char>(c)));
    return out;
}

} // namespace marevo
