#include "verify.h"

#include <primesieve.hpp>

#include <algorithm>
#include <cctype>
#include <set>

namespace pc {

const std::vector<uint64_t> &Oracle::primesUpTo(uint64_t bound)
{
    auto it = lists_.find(bound);
    if (it != lists_.end())
        return it->second;
    std::vector<uint64_t> &v = lists_[bound];
    if (bound >= 2)
        primesieve::generate_primes(bound, &v);
    return v;
}

PrimeFacts Oracle::facts(uint64_t bound)
{
    auto it = facts_.find(bound);
    if (it != facts_.end())
        return it->second;
    PrimeFacts f;
    if (bound >= 2) {
        primesieve::iterator primes;
        for (uint64_t p = primes.next_prime(); p <= bound; p = primes.next_prime()) {
            ++f.count;
            f.largest = p;
            f.sum += p;
        }
    }
    facts_[bound] = f;
    return f;
}

namespace {

bool decimal(const std::string &t, uint64_t &v)
{
    if (t.empty() || t.size() > 19 || (t.size() > 1 && t[0] == '0'))
        return false;
    uint64_t acc = 0;
    for (char c : t) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        acc = acc * 10 + static_cast<uint64_t>(c - '0');
    }
    v = acc;
    return true;
}

// Splits t into two or more pieces, each an unused member of missing; on
// success the pieces are taken out of missing.
bool splitInto(const std::string &t, std::size_t from, int pieces, std::set<uint64_t> &missing)
{
    if (from == t.size())
        return pieces >= 2;
    for (std::size_t len = 1; from + len <= t.size() && len <= 19; ++len) {
        uint64_t v = 0;
        if (!decimal(t.substr(from, len), v))
            continue;
        auto it = missing.find(v);
        if (it == missing.end())
            continue;
        missing.erase(it);
        if (splitInto(t, from + len, pieces + 1, missing))
            return true;
        missing.insert(v);
    }
    return false;
}

std::string plural(std::size_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

Verdict verifyListing(const std::vector<std::string> &tokens, const std::vector<uint64_t> &expected,
                      bool allowSplices)
{
    std::vector<char> seen(expected.size(), 0);
    std::vector<std::string> strange;   // not numbers, or not expected primes
    std::vector<uint64_t> duplicates;
    for (const std::string &t : tokens) {
        uint64_t v = 0;
        if (!decimal(t, v)) {
            strange.push_back(t);
            continue;
        }
        auto it = std::lower_bound(expected.begin(), expected.end(), v);
        if (it == expected.end() || *it != v) {
            strange.push_back(t);
            continue;
        }
        char &s = seen[static_cast<std::size_t>(it - expected.begin())];
        if (s)
            duplicates.push_back(v);
        s = 1;
    }
    std::set<uint64_t> missing;
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (!seen[i])
            missing.insert(expected[i]);

    std::size_t spliced = 0;
    if (allowSplices && !strange.empty() && !missing.empty()) {
        std::vector<std::string> left;
        for (const std::string &t : strange) {
            // A handful of numbers at most run together; longer text is junk.
            if (t.size() <= 200 && splitInto(t, 0, 0, missing))
                ++spliced;
            else
                left.push_back(t);
        }
        strange.swap(left);
    }

    Verdict v;
    std::string detail;
    auto add = [&detail](const std::string &part) {
        if (!detail.empty())
            detail += "; ";
        detail += part;
    };
    if (!missing.empty())
        add("missing " + plural(missing.size(), "prime", "primes") + " (first " +
            std::to_string(*missing.begin()) + ")");
    if (!strange.empty())
        add(plural(strange.size(), "wrong number", "wrong numbers") + " (first \"" +
            printable(strange.front(), 24) + "\")");
    if (!duplicates.empty())
        add(plural(duplicates.size(), "prime", "primes") + " listed twice (first " +
            std::to_string(duplicates.front()) + ")");
    v.pass = detail.empty();
    if (v.pass && spliced > 0)
        detail = plural(spliced, "line", "lines") + " of two threads ran together";
    v.detail = detail;
    return v;
}

Verdict verifyCount(int64_t printed, uint64_t expected)
{
    Verdict v;
    v.pass = printed >= 0 && static_cast<uint64_t>(printed) == expected;
    if (!v.pass)
        v.detail = "count " + std::to_string(printed) + ", expected " + std::to_string(expected);
    return v;
}

Verdict verifyFinder(const FinderLine &line, const PrimeFacts &expected)
{
    Verdict v;
    std::string detail;
    auto add = [&detail](const std::string &part) {
        if (!detail.empty())
            detail += "; ";
        detail += part;
    };
    if (line.count != expected.count)
        add("count " + std::to_string(line.count) + ", expected " + std::to_string(expected.count));
    bool expectLargest = expected.count > 0;
    if (line.hasLargest != expectLargest || (expectLargest && line.largest != expected.largest))
        add("largest " + (line.hasLargest ? std::to_string(line.largest) : std::string("-")) +
            ", expected " + (expectLargest ? std::to_string(expected.largest) : std::string("-")));
    if (line.sum != expected.sum)
        add("sum " + std::to_string(line.sum) + ", expected " + std::to_string(expected.sum));
    v.pass = detail.empty();
    v.detail = detail;
    return v;
}

} // namespace pc
