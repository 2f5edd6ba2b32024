#include "foundation/Words.h"

#include "foundation/Guard.h"

namespace marevo {

namespace {

// Leading and trailing blanks and control characters.
std::string_view Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}

} // namespace

int WordNumber(std::string_view s) {
    return GuardOr({"Error in MarevoTypes/WordNumber"}, 0, [&] {
        int count = 0;
        for (;;) {
            s = Trim(s);
            if (s.empty())
                return count;
            ++count;
            const std::size_t blank = s.find(' ');
            if (blank == std::string_view::npos)
                return count;
            s.remove_prefix(blank);
        }
    });
}

std::string ExtractWord(std::string_view s, int n) {
    return GuardOr({"Error in MarevoTypes/ExtractWord"}, std::string(), [&] {
        int i = 0;
        for (;;) {
            s = Trim(s);
            if (s.empty())
                return std::string();
            const std::size_t blank = s.find(' ');
            const std::string_view word = s.substr(0, blank);
            if (++i == n)
                return std::string(Trim(word));
            if (blank == std::string_view::npos)
                return std::string();
            s.remove_prefix(blank);
        }
    });
}

bool IsAnswerChar(unsigned char c) {
    if (c >= 'a' && c <= 'z')
        c = static_cast<unsigned char>(c - 'a' + 'A');
    return c == 9 || c == 10 || c == 13 || (c >= 32 && c <= 93) || c == 95;
}

} // namespace marevo
