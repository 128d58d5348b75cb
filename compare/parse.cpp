#include "parse.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pc {

const char *const kPoolPrefix = "\xbb\xa8\xb7\xd1\xca\xb1\xbc\xe4\xa3\xba";
const char *const kComparePosixPrefix =
    "\xbb\xf9\xd3\xda" "POSIX Thread"
    "\xca\xb5\xcf\xd6\xb5\xc4\xb6\xe0\xcf\xdf\xb3\xcc\xb3\xcc\xd0\xf2"
    "\xbb\xa8\xb7\xd1\xca\xb1\xbc\xe4\xce\xaa\xa3\xba";
const char *const kCompareWinapiPrefix =
    "\xbb\xf9\xd3\xda" "Windows API"
    "\xca\xb5\xcf\xd6\xb5\xc4\xb6\xe0\xcf\xdf\xb3\xcc\xb3\xcc\xd0\xf2"
    "\xbb\xa8\xb7\xd1\xca\xb1\xbc\xe4\xce\xaa\xa3\xba";
const char *const kSecondsSuffix = "\xc3\xeb";

namespace {

// A cursor over the output that reads the pieces of one format.
struct Reader {
    const std::string &s;
    std::size_t pos = 0;

    bool done() const { return pos >= s.size(); }

    bool literal(const char *text)
    {
        std::size_t n = std::strlen(text);
        if (s.compare(pos, n, text) != 0)
            return false;
        pos += n;
        return true;
    }

    // "\n" or "\r\n".
    bool lineEnd()
    {
        if (literal("\r\n") || literal("\n"))
            return true;
        return false;
    }

    void blanks()
    {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t'))
            ++pos;
    }

    // A decimal integer, optional minus sign.
    bool integer(int64_t &v)
    {
        std::size_t p = pos;
        bool neg = false;
        if (p < s.size() && s[p] == '-') {
            neg = true;
            ++p;
        }
        std::size_t start = p;
        uint64_t acc = 0;
        while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p]))) {
            uint64_t d = static_cast<uint64_t>(s[p] - '0');
            if (acc > (UINT64_C(9223372036854775807) - d) / 10)
                return false;
            acc = acc * 10 + d;
            ++p;
        }
        if (p == start)
            return false;
        v = neg ? -static_cast<int64_t>(acc) : static_cast<int64_t>(acc);
        pos = p;
        return true;
    }

    bool unsignedInt(uint64_t &v)
    {
        std::size_t p = pos;
        uint64_t acc = 0;
        while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p]))) {
            uint64_t d = static_cast<uint64_t>(s[p] - '0');
            if (acc > (UINT64_MAX - d) / 10)
                return false;
            acc = acc * 10 + d;
            ++p;
        }
        if (p == pos)
            return false;
        v = acc;
        pos = p;
        return true;
    }

    // A floating-point number as printf's %f, %g or a stream writes it.
    bool number(double &v)
    {
        std::size_t p = pos;
        std::size_t start = p;
        if (p < s.size() && (s[p] == '-' || s[p] == '+'))
            ++p;
        bool digits = false;
        while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p]))) {
            ++p;
            digits = true;
        }
        if (p < s.size() && s[p] == '.') {
            ++p;
            while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p]))) {
                ++p;
                digits = true;
            }
        }
        if (!digits)
            return false;
        if (p < s.size() && (s[p] == 'e' || s[p] == 'E')) {
            std::size_t q = p + 1;
            if (q < s.size() && (s[q] == '-' || s[q] == '+'))
                ++q;
            if (q < s.size() && std::isdigit(static_cast<unsigned char>(s[q]))) {
                while (q < s.size() && std::isdigit(static_cast<unsigned char>(s[q])))
                    ++q;
                p = q;
            }
        }
        std::string text = s.substr(start, p - start);
        char *end = nullptr;
        errno = 0;
        double d = std::strtod(text.c_str(), &end);
        if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(d))
            return false;
        v = d;
        pos = p;
        return true;
    }

    // The rest of the current line (without its end), and past its end.
    std::string line()
    {
        std::size_t nl = s.find('\n', pos);
        std::size_t end = nl == std::string::npos ? s.size() : nl;
        std::string l = s.substr(pos, end - pos);
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
        pos = nl == std::string::npos ? s.size() : nl + 1;
        return l;
    }
};

Parsed failure(const std::string &why, const std::string &out)
{
    Parsed p;
    p.error = why;
    if (!out.empty())
        p.error += ": \"" + printable(out) + "\"";
    else
        p.error += " (no output)";
    return p;
}

void splitTokens(const std::string &text, std::vector<std::string> &tokens)
{
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        std::size_t start = i;
        while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        if (i > start)
            tokens.push_back(text.substr(start, i - start));
    }
}

Parsed parseSpaceListing(const std::string &out)
{
    Parsed p;
    splitTokens(out, p.tokens);
    p.ok = true;
    return p;
}

// One prime a line (lines of several workers may run together), then a line
// feed, the milliseconds with a line feed, and "ms" without one.
Parsed parseBlocks(const std::string &out)
{
    std::string s = out;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    if (s.size() < 2 || s.compare(s.size() - 2, 2, "ms") != 0)
        return failure("no closing \"ms\"", out);
    s.resize(s.size() - 2);
    if (!s.empty() && s.back() == '\n')
        s.pop_back();
    if (!s.empty() && s.back() == '\r')
        s.pop_back();
    std::size_t nl = s.rfind('\n');
    std::string ticks = s.substr(nl == std::string::npos ? 0 : nl + 1);
    if (!ticks.empty() && ticks.back() == '\r')
        ticks.pop_back();
    std::string before = nl == std::string::npos ? std::string() : s.substr(0, nl + 1);
    Reader r{ticks};
    int64_t ms = 0;
    if (!r.integer(ms) || !r.done() || nl == std::string::npos)
        return failure("no milliseconds before \"ms\"", out);
    // The line feed printed before the milliseconds ends the listing with
    // an empty line.
    std::string listing = before;
    if (listing.size() >= 2 && listing.compare(listing.size() - 2, 2, "\r\n") == 0)
        listing.resize(listing.size() - 2);
    else if (!listing.empty() && listing.back() == '\n')
        listing.pop_back();
    bool emptyLine = listing.empty() || listing.back() == '\n';
    if (!emptyLine)
        return failure("no empty line before the milliseconds", out);
    Parsed p;
    splitTokens(listing, p.tokens);
    p.ownMs = static_cast<double>(ms);
    p.ok = true;
    return p;
}

// "\ntime: %lf s\n" after the count.
bool tallyTime(Reader &r, Parsed &p)
{
    double seconds = 0;
    if (!r.lineEnd() || !r.literal("time: ") || !r.number(seconds) || !r.literal(" s") ||
        !r.lineEnd())
        return false;
    r.blanks();
    if (!r.done())
        return false;
    p.ownMs = seconds * 1000.0;
    return true;
}

Parsed parseTally(const std::string &out, bool labelled)
{
    Reader r{out};
    if (!r.literal("Enter the value of N:"))
        return failure("no prompt", out);
    if (labelled && !r.literal("the number of prime number: "))
        return failure("no count label", out);
    int64_t count = 0;
    if (!r.integer(count))
        return failure("no count", out);
    Parsed p;
    if (!tallyTime(r, p))
        return failure("no time line", out);
    p.count = count;
    p.ok = true;
    return p;
}

// A GBK sentence: prefix, seconds with four decimals, the "seconds" sign.
Parsed parseGbkSeconds(const std::string &out, const char *prefix)
{
    Reader r{out};
    double seconds = 0;
    if (!r.literal(prefix))
        return failure("not the expected timing text", out);
    if (!r.number(seconds) || !r.literal(kSecondsSuffix))
        return failure("no seconds in the timing text", out);
    r.blanks();
    r.lineEnd();
    if (!r.done())
        return failure("text after the timing text", out);
    Parsed p;
    p.ownMs = seconds * 1000.0;
    p.ok = true;
    return p;
}

Parsed parseNeedTime(const std::string &out)
{
    Reader r{out};
    int64_t ms = 0;
    if (!r.literal("need time:"))
        return failure("no \"need time:\"", out);
    r.blanks();
    if (!r.integer(ms) || !r.lineEnd() || !r.done())
        return failure("no milliseconds after \"need time:\"", out);
    Parsed p;
    p.ownMs = static_cast<double>(ms);
    p.ok = true;
    return p;
}

// Prompt line, "The run time is:<seconds>s!", line end, then whatever the
// pause prints.
Parsed parseRunTime(const std::string &out)
{
    Reader r{out};
    if (!r.literal("Please input a number larger than 2:") || !r.lineEnd())
        return failure("no prompt line", out);
    double seconds = 0;
    if (!r.literal("The run time is:"))
        return failure("no \"The run time is:\"", out);
    if (!r.number(seconds) || !r.literal("s!") || !r.lineEnd())
        return failure("no seconds in the result line", out);
    Parsed p;
    p.ownMs = seconds * 1000.0;
    p.ok = true;
    return p;
}

const char *const kFinderNames[] = {"find_primes_single_naive", "find_primes_multi_naive",
                                    "find_primes_single_filter", "find_primes_multi_filter"};

Parsed parseFinders(const std::string &out)
{
    Reader r{out};
    Parsed p;
    for (const char *name : kFinderNames) {
        FinderLine f;
        f.name = name;
        if (!r.literal(name) || !r.literal(": count="))
            return failure(std::string("no line for ") + name, out);
        if (!r.unsignedInt(f.count) || !r.literal(" largest="))
            return failure(std::string("bad count of ") + name, out);
        if (r.literal("-")) {
            f.hasLargest = false;
        } else if (r.unsignedInt(f.largest)) {
            f.hasLargest = true;
        } else {
            return failure(std::string("bad largest of ") + name, out);
        }
        if (!r.literal(" sum=") || !r.unsignedInt(f.sum))
            return failure(std::string("bad sum of ") + name, out);
        if (!r.literal(" time=") || !r.number(f.ms) || !r.literal(" ms") || !r.lineEnd())
            return failure(std::string("bad time of ") + name, out);
        p.finders.push_back(f);
    }
    std::string verdict = r.line();
    if (verdict == "all four finders agree")
        p.findersAgree = true;
    else if (verdict == "finders disagree")
        p.findersAgree = false;
    else
        return failure("no closing verdict line", out);
    r.blanks();
    if (!r.done())
        return failure("text after the verdict line", out);
    p.ok = true;
    return p;
}

} // namespace

Parsed parseOutput(Format format, const std::string &out)
{
    switch (format) {
    case Format::SpaceListing: return parseSpaceListing(out);
    case Format::BlocksListing: return parseBlocks(out);
    case Format::TallyLabelled: return parseTally(out, true);
    case Format::TallyBare: return parseTally(out, false);
    case Format::PoolGbk: return parseGbkSeconds(out, kPoolPrefix);
    case Format::ComparePosixGbk: return parseGbkSeconds(out, kComparePosixPrefix);
    case Format::CompareWinapiGbk: return parseGbkSeconds(out, kCompareWinapiPrefix);
    case Format::NeedTime: return parseNeedTime(out);
    case Format::RunTimeSeconds: return parseRunTime(out);
    case Format::Finders: return parseFinders(out);
    }
    return failure("unknown format", out);
}

bool parseBound(const std::string &text, int64_t &out)
{
    if (text.empty())
        return false;
    bool plain = true;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            plain = false;
    if (plain) {
        Reader r{text};
        int64_t v = 0;
        if (!r.integer(v) || !r.done())
            return false;
        out = v;
        return true;
    }
    // Only digits, one point and one exponent: no signs, blanks, hex or inf.
    std::size_t e = text.find_first_of("eE");
    std::string mantissa = text.substr(0, e);
    std::string exponent = e == std::string::npos ? std::string() : text.substr(e + 1);
    if (mantissa.empty() || mantissa == "." || mantissa.find_first_not_of("0123456789.") != std::string::npos ||
        mantissa.find('.') != mantissa.rfind('.'))
        return false;
    if (e != std::string::npos) {
        std::string digits = exponent;
        if (!digits.empty() && digits[0] == '+')
            digits.erase(0, 1);
        if (digits.empty() || digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
    }
    char *end = nullptr;
    double d = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(d) || d < 0 || d >= 9.2e18 ||
        d != std::floor(d))
        return false;
    out = static_cast<int64_t>(d);
    return true;
}

std::string printable(const std::string &s, std::size_t limit)
{
    std::string r;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (r.size() >= limit) {
            r += "...";
            break;
        }
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '\n') {
            r += "\\n";
        } else if (c == '\r') {
            r += "\\r";
        } else if (c < 0x20 || c >= 0x7f || c == '"' || c == '\\') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            r += buf;
        } else {
            r += static_cast<char>(c);
        }
    }
    return r;
}

} // namespace pc
