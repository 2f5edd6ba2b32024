#include "probelink/Nmea.h"

#include <charconv>
#include <vector>

namespace marevo {

std::string_view NmeaResultMessage(TNmeaResult result) {
    switch (result) {
    case TNmeaResult::BadGGA: return "GPS GGA BAD QUALITY STATUS/COVERAGE";
    case TNmeaResult::BadGLL: return "GPS GLL BAD QUALITY STATUS/COVERAGE";
    default: return "";
    }
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool ParseNumber(std::string_view text, double& value) {
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

std::vector<std::string_view> Fields(std::string_view sentence) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = sentence.find(',', start);
        fields.push_back(sentence.substr(start, comma - start));
        if (comma == std::string_view::npos)
            return fields;
        start = comma + 1;
    }
}

} // namespace

bool ParseNmeaAngle(std::string_view field, int degreeDigits, double& degrees) {
    const auto digits = static_cast<std::size_t>(degreeDigits);
    if (field.size() <= digits)
        return false;
    double whole = 0, minutes = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        if (field[i] < '0' || field[i] > '9')
            return false;
        whole = whole * 10 + (field[i] - '0');
    }
    if (!ParseNumber(field.substr(digits), minutes) || minutes < 0 || minutes >= 60)
        return false;
    degrees = whole + minutes / 60.0;
    return true;
}

TNmeaFix ParseNmeaSentence(std::string_view sentence, std::string_view prefix) {
    TNmeaFix fix;
    const std::string gga = std::string(prefix) + "GGA", gll = std::string(prefix) + "GLL";
    // Positions of latitude, its hemisphere, longitude, its hemisphere and the quality field.
    int lat, latHemi, lon, lonHemi, quality;
    if (sentence.find(gga) != std::string_view::npos) {
        fix.result = TNmeaResult::BadGGA;
        lat = 2, latHemi = 3, lon = 4, lonHemi = 5, quality = 6;
    } else if (sentence.find(gll) != std::string_view::npos) {
        fix.result = TNmeaResult::BadGLL;
        lat = 1, latHemi = 2, lon = 3, lonHemi = 4, quality = 6;
    } else {
        return fix; // another sentence: nothing to say
    }
    const auto f = Fields(sentence);
    if (static_cast<int>(f.size()) <= quality)
        return fix;
    const std::string_view q = f[static_cast<std::size_t>(quality)];
    const bool noFix = fix.result == TNmeaResult::BadGGA ? (q == "0" || q.empty()) : q == "V";
    double latitude = 0, longitude = 0;
    if (noFix || !ParseNmeaAngle(f[static_cast<std::size_t>(lat)], 2, latitude) ||
        !ParseNmeaAngle(f[static_cast<std::size_t>(lon)], 3, longitude))
        return fix;
    fix.latitude = f[static_cast<std::size_t>(latHemi)] == "N" ? latitude : -latitude;
    fix.longitude = f[static_cast<std::size_t>(lonHemi)] == "E" ? longitude : -longitude;
    fix.result = TNmeaResult::Fix;
    return fix;
}

void TNmeaReader::Feed(std::span<const std::uint8_t> bytes) {
    buffer_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (buffer_.size() > Capacity)
        buffer_.erase(0, buffer_.size() - Capacity);
}

TNmeaFix TNmeaReader::ReadSentence(std::string_view prefix) {
    if (buffer_.size() <= 30)
        return {};
    const std::size_t dollar = buffer_.find('$');
    if (dollar == std::string::npos) {
        buffer_.clear();
        return {};
    }
    buffer_.erase(0, dollar);
    std::size_t star = buffer_.find('*');
    if (star == std::string::npos || star + 2 >= buffer_.size())
        return {}; // not whole yet: completed on a later call
    // A stray "$" in line noise must not swallow the sentence that follows it.
    const std::size_t start = buffer_.rfind('$', star);
    buffer_.erase(0, start);
    star -= start;
    const int high = HexDigit(buffer_[star + 1]), low = HexDigit(buffer_[star + 2]);
    const std::string sentence = buffer_.substr(0, star);
    buffer_.erase(0, star + 3);
    std::uint8_t sum = 0;
    for (char c : std::string_view(sentence).substr(1))
        sum ^= static_cast<std::uint8_t>(c);
    if (high < 0 || low < 0 || sum != high * 16 + low)
        return {}; // damaged on the line: dropped without a word
    return ParseNmeaSentence(sentence, prefix);
}

} // namespace marevo
