#include "catalog.h"

namespace pc {

const std::vector<Entry> &catalog()
{
    using F = Family;
    static const std::vector<Entry> entries = {
        {"squarestep-serial", "squarestep-serial", F::Listers, Feed::Argument, Format::SpaceListing, "squarestep-serial", 0},
        {"squarestep-pthread", "squarestep-pthread", F::Listers, Feed::Argument, Format::SpaceListing, "squarestep-serial", 0},
        {"squarestep-winapi", "squarestep-winapi", F::Listers, Feed::Argument, Format::SpaceListing, "squarestep-pthread", 0},
        {"blocks-pthread", "blocks-pthread", F::Listers, Feed::Stdin, Format::BlocksListing, "squarestep-serial", 0},
        {"tally-serial", "tally-serial", F::Counters, Feed::Stdin, Format::TallyLabelled, "tally-serial", 0},
        {"tally-pthread", "tally-pthread", F::Counters, Feed::Stdin, Format::TallyBare, "tally-serial", 0},
        // No serial pool exists: pool-pthread, the cheapest test on the same
        // cursor, is the family's reference; each -winapi program is set
        // against its pthread twin.
        {"pool-pthread", "pool-pthread", F::Pools, Feed::Argument, Format::PoolGbk, "pool-pthread", 0},
        {"pool-winapi", "pool-winapi", F::Pools, Feed::Argument, Format::PoolGbk, "pool-pthread", 0},
        {"compare-pthread", "compare-pthread", F::Pools, Feed::Argument, Format::ComparePosixGbk, "pool-pthread", 0},
        {"compare-winapi", "compare-winapi", F::Pools, Feed::Argument, Format::CompareWinapiGbk, "compare-pthread", 0},
        // No serial scan either: stride-pthread is the reference.
        {"stride-pthread", "stride-pthread", F::Strided, Feed::Fixed, Format::NeedTime, "stride-pthread", 10000000},
        {"stride-winapi", "stride-winapi", F::Strided, Feed::Fixed, Format::NeedTime, "stride-pthread", 10000000},
        {"stride-prompt", "stride-prompt", F::Strided, Feed::StdinPause, Format::RunTimeSeconds, "stride-pthread", 0},
        {"find_primes_single_naive", "finders-try", F::Finders, Feed::Argument, Format::Finders, "find_primes_single_naive", 0},
        {"find_primes_multi_naive", "finders-try", F::Finders, Feed::Argument, Format::Finders, "find_primes_single_naive", 0},
        {"find_primes_single_filter", "finders-try", F::Finders, Feed::Argument, Format::Finders, "find_primes_single_naive", 0},
        {"find_primes_multi_filter", "finders-try", F::Finders, Feed::Argument, Format::Finders, "find_primes_single_naive", 0},
    };
    return entries;
}

const std::vector<Family> &allFamilies()
{
    static const std::vector<Family> all = {Family::Listers, Family::Counters, Family::Pools,
                                            Family::Strided, Family::Finders};
    return all;
}

const char *familyName(Family f)
{
    switch (f) {
    case Family::Listers: return "listers";
    case Family::Counters: return "counters";
    case Family::Pools: return "pools";
    case Family::Strided: return "strided";
    case Family::Finders: return "finders";
    }
    return "?";
}

bool familyFromName(const std::string &name, Family &out)
{
    for (Family f : allFamilies())
        if (name == familyName(f)) {
            out = f;
            return true;
        }
    return false;
}

int64_t defaultN(Family f)
{
    // Sized so that the whole default run (a warm-up and three runs of
    // everything) takes about a minute on a 2-core machine; one run each:
    switch (f) {
    case Family::Listers: return 150000;   // blocks-pthread ~1.1 s, squarestep ~10 ms
    case Family::Counters: return 5000000; // tally-serial ~0.9 s
    case Family::Pools: return 200000;     // compare-* ~1.5 s, pool-* ~0.1 s
    case Family::Strided: return 10000000; // the fixed bound of stride-pthread/-winapi, ~1.6 s
    case Family::Finders: return 5000000;  // all four finders ~3 s
    }
    return 0;
}

int64_t maxN(Family f)
{
    return f == Family::Finders ? 4294967295LL : 2147483647LL;
}

int64_t minN(Family f)
{
    // The pools' cursor starts at 3 and only ends on reaching N.
    return f == Family::Pools ? 3 : 2;
}

bool timingOnly(Format f)
{
    switch (f) {
    case Format::PoolGbk:
    case Format::ComparePosixGbk:
    case Format::CompareWinapiGbk:
    case Format::NeedTime:
    case Format::RunTimeSeconds:
        return true;
    default:
        return false;
    }
}

} // namespace pc
