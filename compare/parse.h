// Reading what the programs print: the time each reports (six formats, two
// of them GBK text), and the listing, count or finder lines to be checked.
// Line ends may be "\n" or "\r\n" (a Windows C runtime under Wine).
#ifndef PRIME_COMPARE_PARSE_H
#define PRIME_COMPARE_PARSE_H

#include "catalog.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pc {

struct FinderLine {
    std::string name;
    uint64_t count = 0;
    bool hasLargest = false; // false when the finder printed "-"
    uint64_t largest = 0;
    uint64_t sum = 0;
    double ms = 0;
};

struct Parsed {
    bool ok = false;
    std::string error;                 // why the text could not be read
    std::optional<double> ownMs;       // the time the program printed, in ms
    std::optional<int64_t> count;      // counters
    std::vector<std::string> tokens;   // listers: the numbers as printed
    std::vector<FinderLine> finders;   // finders-try, in printed order
    bool findersAgree = false;         // finders-try's closing line
};

Parsed parseOutput(Format format, const std::string &out);

// The GBK texts, as the programs print them around the seconds.
extern const char *const kPoolPrefix;     // "spent time:" in Chinese
extern const char *const kComparePosixPrefix;
extern const char *const kCompareWinapiPrefix;
extern const char *const kSecondsSuffix;  // the character for "seconds"

// A bound in decimal or in forms like 1e6 or 2.5e5; false unless it is a
// whole number from 0 to 2^63 - 1.
bool parseBound(const std::string &text, int64_t &out);

// Bytes made printable for messages: non-ASCII and control bytes as \xHH.
std::string printable(const std::string &s, std::size_t limit = 80);

} // namespace pc

#endif
