// prime-compare: runs every program of the suite on one workload per family,
// checks each result against primesieve, and sets the times side by side.
#include "catalog.h"
#include "child.h"
#include "machine.h"
#include "parse.h"
#include "report.h"
#include "verify.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef PRIME_COMPARE_FLAGS
#define PRIME_COMPARE_FLAGS ""
#endif

namespace {

using namespace pc;

const char *const kUsage =
    "usage: prime-compare [options]\n"
    "Runs the suite's programs on one workload per family, verifies their results\n"
    "against primesieve and prints a table of their times.\n"
    "\n"
    "  --n FAMILY=N          bound of one family (1e6 and the like accepted);\n"
    "                        families: listers counters pools strided finders\n"
    "  --only A,B            run only these programs (or finder rows)\n"
    "  --skip A,B            leave these out\n"
    "  --runs R              timed runs per program (default 3)\n"
    "  --warmup W            untimed runs first (default 1)\n"
    "  --timeout S           seconds before one run is stopped (default 120)\n"
    "  --bin DIR             folder of the programs (default: beside prime-compare);\n"
    "                        give it again to compare another build in one report\n"
    "  --exe-suffix S        appended to program names of the last --bin (.exe)\n"
    "  --prefix LOADER       command that starts them (e.g. a Wine loader)\n"
    "  --label NAME          name of the last --bin's build in the report\n"
    "  --json FILE           every run's figures and the machine, as JSON\n"
    "  --csv FILE            one line per program\n"
    "  --markdown FILE       the table in Markdown\n"
    "  --chart FILE          bar chart of the medians (.svg or .png, gnuplot)\n"
    "  --scan FAMILY=N1,N2   run one family at several bounds; --chart then draws\n"
    "                        time against N\n"
    "  --list                print the programs and default bounds, run nothing\n"
    "  --quiet               no progress on standard error\n"
    "  --help                this text\n"
    "\n"
    "Exit status: 0 all verified (missing programs allowed), 1 a wrong result,\n"
    "time-out or failed program, 2 bad usage, 130 interrupted.\n";

struct Options {
    std::map<Family, int64_t> n;
    std::set<std::string> only, skip;
    int runs = 3, warmup = 1;
    double timeout = 120;
    std::vector<Build> builds;
    std::string json, csv, markdown, chart;
    bool scan = false;
    Family scanFamily = Family::Listers;
    std::vector<int64_t> scanNs;
    bool quiet = false, list = false;
};

[[noreturn]] void usageError(const std::string &message)
{
    std::fprintf(stderr, "prime-compare: %s\n(prime-compare --help shows the options)\n", message.c_str());
    std::exit(2);
}

std::vector<std::string> splitList(const std::string &s, char sep)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, sep))
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

std::string selfDir(const char *argv0)
{
    char buf[4096];
    ssize_t k = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string path = k > 0 ? std::string(buf, static_cast<std::size_t>(k)) : std::string(argv0);
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string findOnPath(const std::string &word)
{
    if (word.find('/') != std::string::npos)
        return word;
    const char *path = std::getenv("PATH");
    for (const std::string &dir : splitList(path ? path : "", ':')) {
        std::string p = dir + "/" + word;
        if (access(p.c_str(), X_OK) == 0)
            return p;
    }
    return word;
}

int64_t boundFor(const std::string &family, const std::string &value, Family &f)
{
    if (!familyFromName(family, f))
        usageError("unknown family \"" + family + "\" (listers, counters, pools, strided, finders)");
    int64_t v = 0;
    if (!parseBound(value, v))
        usageError("\"" + value + "\" is not a whole number for " + family);
    if (v < minN(f) || v > maxN(f))
        usageError("N of " + family + " must be from " + std::to_string(minN(f)) + " to " +
                   std::to_string(maxN(f)) + ", not " + value);
    return v;
}

int countArg(const std::string &opt, const std::string &value, int least)
{
    int64_t v = 0;
    if (!parseBound(value, v) || v < least || v > 1000)
        usageError(opt + " takes a whole number from " + std::to_string(least) + " to 1000");
    return static_cast<int>(v);
}

Options parseOptions(int argc, char **argv)
{
    Options o;
    std::set<std::string> known;
    for (const Entry &e : catalog()) {
        known.insert(e.row);
        known.insert(e.program);
    }
    Build current;
    bool binGiven = false;
    auto value = [&](int &i, const std::string &opt) -> std::string {
        if (i + 1 >= argc)
            usageError(opt + " needs a value");
        return argv[++i];
    };
    auto names = [&](const std::string &list, std::set<std::string> &into) {
        for (const std::string &name : splitList(list, ',')) {
            if (!known.count(name)) {
                std::string all;
                for (const std::string &k : known)
                    all += " " + k;
                usageError("unknown program \"" + name + "\"; known:" + all);
            }
            into.insert(name);
        }
    };
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a == "--n") {
            std::string v = value(i, a);
            std::size_t eq = v.find('=');
            if (eq == std::string::npos)
                usageError("--n takes FAMILY=N, e.g. --n counters=1e6");
            Family f;
            int64_t n = boundFor(v.substr(0, eq), v.substr(eq + 1), f);
            o.n[f] = n;
        } else if (a == "--scan") {
            std::string v = value(i, a);
            std::size_t eq = v.find('=');
            if (eq == std::string::npos)
                usageError("--scan takes FAMILY=N1,N2,..., e.g. --scan pools=1e4,3e4,1e5");
            if (o.scan)
                usageError("--scan is given once, for one family");
            Family f;
            for (const std::string &part : splitList(v.substr(eq + 1), ','))
                o.scanNs.push_back(boundFor(v.substr(0, eq), part, f));
            if (o.scanNs.empty())
                usageError("--scan needs at least one bound");
            o.scan = true;
            o.scanFamily = f;
        } else if (a == "--only") {
            names(value(i, a), o.only);
        } else if (a == "--skip") {
            names(value(i, a), o.skip);
        } else if (a == "--runs") {
            o.runs = countArg(a, value(i, a), 1);
        } else if (a == "--warmup") {
            o.warmup = countArg(a, value(i, a), 0);
        } else if (a == "--timeout") {
            std::string v = value(i, a);
            char *end = nullptr;
            double t = std::strtod(v.c_str(), &end);
            if (v.empty() || *end || !(t > 0) || t > 86400)
                usageError("--timeout takes seconds, more than 0 and at most 86400");
            o.timeout = t;
        } else if (a == "--bin") {
            if (binGiven)
                o.builds.push_back(current);
            current = Build();
            current.bin = value(i, a);
            binGiven = true;
        } else if (a == "--exe-suffix") {
            current.suffix = value(i, a);
        } else if (a == "--prefix") {
            current.prefix = splitList(value(i, a), ' ');
            if (current.prefix.empty())
                usageError("--prefix needs a command");
            current.prefix[0] = findOnPath(current.prefix[0]);
        } else if (a == "--label") {
            current.label = value(i, a);
        } else if (a == "--json") {
            o.json = value(i, a);
        } else if (a == "--csv") {
            o.csv = value(i, a);
        } else if (a == "--markdown") {
            o.markdown = value(i, a);
        } else if (a == "--chart") {
            o.chart = value(i, a);
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--list") {
            o.list = true;
        } else {
            usageError("unknown option \"" + a + "\"");
        }
    }
    if (!binGiven)
        current.bin = selfDir(argv[0]);
    o.builds.push_back(current);
    std::set<std::string> labels;
    for (std::size_t k = 0; k < o.builds.size(); ++k) {
        Build &b = o.builds[k];
        if (b.label.empty()) {
            if (!b.prefix.empty()) {
                std::string w = b.prefix[0];
                b.label = w.substr(w.rfind('/') == std::string::npos ? 0 : w.rfind('/') + 1);
            } else {
                b.label = "native";
            }
        }
        std::string base = b.label;
        for (int i = 2; labels.count(b.label); ++i)
            b.label = base + "-" + std::to_string(i);
        labels.insert(b.label);
    }
    if (!o.chart.empty()) {
        std::string ext = o.chart.size() >= 4 ? o.chart.substr(o.chart.size() - 4) : "";
        for (char &c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext != ".svg" && ext != ".png")
            usageError("--chart takes a file ending in .svg or .png");
    }
    return o;
}

bool selected(const Options &o, const Entry &e)
{
    if (o.scan && (e.family != o.scanFamily || e.feed == Feed::Fixed))
        return false;
    if (!o.only.empty() && !o.only.count(e.row) && !o.only.count(e.program))
        return false;
    return !o.skip.count(e.row) && !o.skip.count(e.program);
}

std::string nowIso()
{
    std::time_t t = std::time(nullptr);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&t));
    return buf;
}

class Progress {
public:
    Progress(bool quiet) : quiet_(quiet), tty_(isatty(2) != 0), t0_(std::chrono::steady_clock::now()) {}

    void show(const std::string &what)
    {
        if (quiet_)
            return;
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0_).count();
        char head[32];
        std::snprintf(head, sizeof head, "[%6.1f s] ", s);
        if (tty_)
            std::fprintf(stderr, "\r\033[K%s%s", head, what.c_str());
        else
            std::fprintf(stderr, "%s%s\n", head, what.c_str());
        std::fflush(stderr);
    }

    void done()
    {
        if (!quiet_ && tty_) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
        }
    }

private:
    bool quiet_, tty_;
    std::chrono::steady_clock::time_point t0_;
};

// What one run of a program says about one of its rows.
struct RowOutcome {
    std::string outcome; // pass, fail, timing-only, error, timeout, interrupted
    std::string detail;
    std::optional<double> ownMs;
};

std::string endedText(const ChildResult &c)
{
    if (c.signal)
        return std::string("ended by signal ") + std::to_string(c.signal) + " (" + strsignal(c.signal) + ")";
    return "exit status " + std::to_string(c.exitStatus);
}

std::string errExcerpt(const ChildResult &c)
{
    if (c.err.empty())
        return std::string();
    std::string e = c.err;
    while (!e.empty() && (e.back() == '\n' || e.back() == '\r'))
        e.pop_back();
    return ": " + printable(e, 120);
}

// Judges one finished run for each of the rows the program gives.
std::vector<RowOutcome> judge(const std::vector<const Entry *> &rows, int64_t n, const ChildResult &c,
                              Oracle &oracle)
{
    std::vector<RowOutcome> outcomes(rows.size());
    auto all = [&](const std::string &outcome, const std::string &detail) {
        for (RowOutcome &o : outcomes) {
            o.outcome = outcome;
            o.detail = detail;
        }
        return outcomes;
    };
    if (!c.started)
        return all("error", "cannot start: " + c.startError);
    if (c.interrupted)
        return all("interrupted", "stopped by Ctrl-C");
    if (c.timedOut)
        return all("timeout", "timed out");
    if (c.outputCut)
        return all("error", "printed more than 1 GiB");
    const Entry &first = *rows.front();
    Parsed p = parseOutput(first.format, c.out);

    if (first.format == Format::Finders) {
        bool expectedExit = p.ok && c.signal == 0 && c.exitStatus == (p.findersAgree ? 0 : 1);
        if (!p.ok)
            return all("error", (c.exitStatus == 0 && !c.signal ? "" : endedText(c) + ", ") + p.error + errExcerpt(c));
        if (!expectedExit)
            return all("error", endedText(c) + " after \"" +
                                    (p.findersAgree ? "all four finders agree" : "finders disagree") + "\"" +
                                    errExcerpt(c));
        PrimeFacts facts = oracle.facts(static_cast<uint64_t>(n));
        bool anyWrong = false;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            for (const FinderLine &line : p.finders) {
                if (line.name != rows[i]->row)
                    continue;
                Verdict v = verifyFinder(line, facts);
                outcomes[i].outcome = v.pass ? "pass" : "fail";
                outcomes[i].detail = v.detail;
                outcomes[i].ownMs = line.ms;
            }
        }
        for (const FinderLine &line : p.finders)
            anyWrong = anyWrong || !verifyFinder(line, facts).pass;
        if (!p.findersAgree && !anyWrong)
            return all("error", "says the finders disagree, though every line verifies");
        return outcomes;
    }

    RowOutcome &o = outcomes.front();
    if (c.signal || c.exitStatus != 0)
        return all("error", endedText(c) + (c.out.empty() ? "" : ", printed \"" + printable(c.out, 60) + "\"") +
                                errExcerpt(c));
    if (!p.ok)
        return all("error", p.error);
    o.ownMs = p.ownMs;
    switch (first.format) {
    case Format::SpaceListing: {
        Verdict v = verifyListing(p.tokens, oracle.primesUpTo(static_cast<uint64_t>(n)), false);
        o.outcome = v.pass ? "pass" : "fail";
        o.detail = v.detail;
        break;
    }
    case Format::BlocksListing: {
        // Its last block ends at N, and each line is written whole, so the
        // listing must be exactly the primes up to N, one a line.
        Verdict v = verifyListing(p.tokens, oracle.primesUpTo(static_cast<uint64_t>(n)), false);
        o.outcome = v.pass ? "pass" : "fail";
        o.detail = v.detail;
        break;
    }
    case Format::TallyLabelled:
    case Format::TallyBare: {
        Verdict v = verifyCount(*p.count, oracle.facts(static_cast<uint64_t>(n)).count);
        o.outcome = v.pass ? "pass" : "fail";
        o.detail = v.detail;
        break;
    }
    default:
        o.outcome = "timing-only";
        break;
    }
    return outcomes;
}

std::vector<std::string> commandFor(const Build &b, const Entry &e, int64_t n, std::string &input)
{
    std::vector<std::string> cmd = b.prefix;
    cmd.push_back(b.bin + "/" + e.program + b.suffix);
    input.clear();
    switch (e.feed) {
    case Feed::Argument:
        cmd.push_back(std::to_string(n));
        break;
    case Feed::Stdin:
        input = std::to_string(n) + "\n";
        break;
    case Feed::StdinPause:
        // The bound, then a key for the pause; the end of input follows.
        input = std::to_string(n) + "\n\n";
        break;
    case Feed::Fixed:
        break;
    }
    return cmd;
}

bool programPresent(const Build &b, const Entry &e)
{
    std::string path = b.bin + "/" + e.program + b.suffix;
    // Through a loader the file need not be executable itself.
    return access(path.c_str(), b.prefix.empty() ? X_OK : R_OK) == 0;
}

// Runs one program (all its rows) of one build at one bound.
void runProgram(const Options &opt, Report &rep, const std::vector<const Entry *> &rows, int buildIndex,
                int64_t n, Oracle &oracle, Progress &progress, int step, int steps)
{
    const Build &b = rep.builds[static_cast<std::size_t>(buildIndex)];
    const Entry &e = *rows.front();
    int64_t bound = e.feed == Feed::Fixed ? e.fixedN : n;
    std::size_t firstRow = rep.rows.size();
    for (const Entry *r : rows) {
        RowResult rr;
        rr.entry = r;
        rr.build = buildIndex;
        rr.n = bound;
        rep.rows.push_back(rr);
    }
    auto setAll = [&](const std::string &status, const std::string &detail) {
        for (std::size_t k = firstRow; k < rep.rows.size(); ++k) {
            rep.rows[k].status = status;
            if (rep.rows[k].detail.empty())
                rep.rows[k].detail = detail;
        }
    };
    if (!programPresent(b, e)) {
        setAll(kMissing, "");
        return;
    }
    std::string label = e.program + (rep.builds.size() > 1 ? " (" + b.label + ")" : "");
    int total = opt.warmup + opt.runs;
    for (int k = 0; k < total; ++k) {
        if (interrupted())
            break;
        bool warm = k < opt.warmup;
        char what[256];
        std::snprintf(what, sizeof what, "[%d/%d] %s N=%lld: %s %d of %d", step, steps, label.c_str(),
                      static_cast<long long>(bound), warm ? "warm-up" : "run", warm ? k + 1 : k - opt.warmup + 1,
                      warm ? opt.warmup : opt.runs);
        progress.show(what);
        std::string input;
        std::vector<std::string> cmd = commandFor(b, e, bound, input);
        ChildResult c = runChild(cmd, input, opt.timeout);
        std::vector<RowOutcome> outs = judge(rows, bound, c, oracle);
        bool stop = false;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            RowResult &rr = rep.rows[firstRow + i];
            RunFigures f;
            f.index = warm ? k + 1 : k - opt.warmup + 1;
            f.warmup = warm;
            f.wallMs = c.wallMs;
            f.peakKiB = c.peakKiB;
            f.ownMs = outs[i].ownMs;
            f.exitStatus = c.started ? c.exitStatus : -1;
            f.signal = c.signal;
            f.timedOut = c.timedOut;
            f.outcome = outs[i].outcome;
            f.detail = outs[i].detail;
            rr.runs.push_back(f);
            const std::string &oc = outs[i].outcome;
            std::string runName = std::string(warm ? "warm-up " : "run ") + std::to_string(f.index);
            if (oc == "fail" && rr.status != kFail && rr.status != kError && rr.status != kTimeout) {
                rr.status = kFail;
                rr.detail = runName + ": " + outs[i].detail;
            } else if ((oc == "error" || oc == "timeout") && rr.status != kError && rr.status != kTimeout) {
                rr.status = oc == "error" ? kError : kTimeout;
                rr.detail = runName + ": " + (oc == "timeout" ? "timed out after " + std::to_string(static_cast<int>(opt.timeout)) + " s" : outs[i].detail);
            } else if (oc == "interrupted" && rr.status.empty()) {
                rr.status = kInterrupted;
                rr.detail = runName + ": stopped by Ctrl-C";
            } else if (oc == "pass" && !outs[i].detail.empty() && rr.detail.empty()) {
                rr.detail = runName + ": " + outs[i].detail;
            }
            if (oc == "error" || oc == "timeout" || oc == "interrupted")
                stop = true;
        }
        // A program that failed, hung or crashed is not run again; a wrong
        // result keeps being measured only while others of its process pass.
        bool allFailed = true;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (outs[i].outcome != "fail")
                allFailed = false;
        if (stop || allFailed)
            break;
    }
    for (std::size_t k = firstRow; k < rep.rows.size(); ++k) {
        RowResult &rr = rep.rows[k];
        if (rr.status.empty())
            rr.status = interrupted() && static_cast<int>(rr.runs.size()) < total ? kInterrupted
                        : timingOnly(rr.entry->format)                       ? kTimingOnly
                                                                              : kOk;
        if (rr.status == kInterrupted && rr.detail.empty())
            rr.detail = "stopped by Ctrl-C after " + std::to_string(rr.runs.size()) + " run(s)";
    }
}

void writeFile(const std::string &path, const std::string &content, const char *what)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
    out.close();
    if (!out)
        std::fprintf(stderr, "prime-compare: cannot write the %s file %s\n", what, path.c_str());
}

void printList()
{
    std::printf("%-10s %-26s %-20s %-10s %s\n", "family", "row", "program", "N", "bound from");
    for (const Entry &e : catalog()) {
        const char *feed = e.feed == Feed::Argument ? "argument"
                           : e.feed == Feed::Stdin  ? "standard input"
                           : e.feed == Feed::StdinPause ? "standard input, then a key"
                                                        : "its own (fixed)";
        long long n = e.feed == Feed::Fixed ? e.fixedN : defaultN(e.family);
        std::printf("%-10s %-26s %-20s %-10lld %s%s\n", familyName(e.family), e.row.c_str(), e.program.c_str(), n,
                    feed, timingOnly(e.format) ? ", timing only" : "");
    }
}

} // namespace

int main(int argc, char **argv)
{
    Options opt = parseOptions(argc, argv);
    if (opt.list) {
        printList();
        return 0;
    }
    installInterruptHandler();

    Report rep;
    rep.started = nowIso();
    rep.runs = opt.runs;
    rep.warmup = opt.warmup;
    rep.timeoutSeconds = opt.timeout;
    rep.builds = opt.builds;
    for (Build &b : rep.builds)
        b.info = buildInfo(b.bin);
    rep.machine = machineInfo();
#if defined(__clang__)
    rep.runnerCompiler = std::string("clang ") + __clang_version__;
#elif defined(__GNUC__)
    rep.runnerCompiler = std::string("gcc ") + __VERSION__;
#endif
    rep.runnerFlags = PRIME_COMPARE_FLAGS;
    rep.scan = opt.scan;
    rep.scanFamily = opt.scanFamily;
    rep.scanNs = opt.scanNs;

    // Group the rows by program: one process gives all rows of a program.
    std::vector<std::vector<const Entry *>> programs;
    for (const Entry &e : catalog()) {
        if (!selected(opt, e))
            continue;
        if (!programs.empty() && programs.back().front()->program == e.program)
            programs.back().push_back(&e);
        else
            programs.push_back({&e});
    }
    for (const auto &p : programs) {
        Family f = p.front()->family;
        if (!opt.scan)
            rep.n[f] = opt.n.count(f) ? opt.n[f] : defaultN(f);
    }
    if (programs.empty())
        usageError(opt.scan ? "the scanned family has no program left to run" : "no program selected");

    std::vector<int64_t> bounds = opt.scan ? opt.scanNs : std::vector<int64_t>{0};
    int steps = static_cast<int>(programs.size() * rep.builds.size() * bounds.size());
    int step = 0;
    Oracle oracle;
    Progress progress(opt.quiet);
    for (int64_t scanN : bounds) {
        for (const auto &p : programs) {
            for (std::size_t b = 0; b < rep.builds.size(); ++b) {
                ++step;
                if (interrupted()) {
                    ++rep.notRun;
                    continue;
                }
                int64_t n = opt.scan ? scanN : rep.n[p.front()->family];
                runProgram(opt, rep, p, static_cast<int>(b), n, oracle, progress, step, steps);
            }
        }
    }
    progress.done();
    rep.interrupted = interrupted();
    finish(rep);

    std::fputs(formatTable(rep).c_str(), stdout);
    std::fflush(stdout);
    if (!opt.json.empty())
        writeFile(opt.json, formatJson(rep), "JSON");
    if (!opt.csv.empty())
        writeFile(opt.csv, formatCsv(rep), "CSV");
    if (!opt.markdown.empty())
        writeFile(opt.markdown, formatMarkdown(rep), "Markdown");
    if (!opt.chart.empty()) {
        std::string message;
        if (!drawChart(rep, opt.chart, message))
            std::fprintf(stderr, "prime-compare: %s\n", message.c_str());
    }
    return exitStatusOf(rep);
}
