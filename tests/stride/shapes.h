// Shapes of the strided scans' output lines, checked by hand (no regex).
#ifndef PRIMESUITE_STRIDE_SHAPES_H
#define PRIMESUITE_STRIDE_SHAPES_H

#include <algorithm>
#include <cstdlib>
#include <string>

namespace shapes {

inline bool isDigits(const std::string &s)
{
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// "need time:" and a count right-aligned in at least 4 columns, then lf.
inline bool isTimeLine(const std::string &out, const std::string &lf = "\n")
{
    const std::string head = "need time:";
    if (out.size() < head.size() + lf.size() || out.compare(0, head.size(), head) != 0 ||
        out.compare(out.size() - lf.size(), std::string::npos, lf) != 0)
        return false;
    std::string field = out.substr(head.size(), out.size() - head.size() - lf.size());
    std::string digits = field.substr(std::min(field.find_first_not_of(' '), field.size()));
    size_t pad = digits.size() < 4 ? 4 - digits.size() : 0;
    return isDigits(digits) && field == std::string(pad, ' ') + digits;
}

// A number as a stream writes a double by default: 0, 0.016, 1.5, 1e+06.
inline bool isDefaultDouble(const std::string &s)
{
    if (s.empty() || s.find_first_not_of("0123456789.e+-") != std::string::npos)
        return false;
    char *end = nullptr;
    std::strtod(s.c_str(), &end);
    return *end == '\0';
}

} // namespace shapes

#endif
