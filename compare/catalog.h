// What the runner knows about each deliverable: its family, how it takes its
// bound, what it prints, how its result is checked and what it is measured
// against.
#ifndef PRIME_COMPARE_CATALOG_H
#define PRIME_COMPARE_CATALOG_H

#include <cstdint>
#include <string>
#include <vector>

namespace pc {

enum class Family { Listers, Counters, Pools, Strided, Finders };

// How a program gets its bound.
enum class Feed {
    Argument,      // argv[1]
    Stdin,         // one line on standard input
    StdinPause,    // one line on standard input, then a key for its pause
    Fixed,         // a bound of its own; the family's N is not passed
};

// The text a program prints.
enum class Format {
    SpaceListing,   // "2 3 5 ..." on one line, no time
    BlocksListing,  // one prime a line, then "\n<ms>\nms"
    TallyLabelled,  // prompt, "the number of prime number: %d", "\ntime: %lf s\n"
    TallyBare,      // prompt, "%d", "\ntime: %lf s\n"
    PoolGbk,        // GBK "spent time: %.4f seconds"
    ComparePosixGbk,
    CompareWinapiGbk,
    NeedTime,       // "need time:%4d\n" (milliseconds)
    RunTimeSeconds, // prompt line, "The run time is:<g>s!\n", pause prompt
    Finders,        // finders-try: one line per finder, then the verdict
};

// One row of the report. Most programs give one row; finders-try gives one
// per finder, all from the same process.
struct Entry {
    std::string row;       // row name (the program, or the finder)
    std::string program;   // executable name
    Family family;
    Feed feed;
    Format format;
    std::string baseline;  // row that the relative speed is taken against
    int64_t fixedN;        // the program's own bound for Feed::Fixed, else 0
};

const std::vector<Entry> &catalog();

const char *familyName(Family f);
bool familyFromName(const std::string &name, Family &out);
const std::vector<Family> &allFamilies();

// The default workload: one bound per family, sized so that the default
// run (3 timed runs and 1 warm-up of each program) takes about a minute on
// a 2-core machine.
int64_t defaultN(Family f);

// Largest bound a family accepts: the programs read their bound into a
// 32-bit signed int (the finders take size_t but need 32 bytes a number).
int64_t maxN(Family f);
int64_t minN(Family f);

bool timingOnly(Format f);

} // namespace pc

#endif
