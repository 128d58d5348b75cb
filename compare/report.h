// The figures of a comparison and the ways they are shown: the aligned
// table, JSON, CSV, Markdown and the gnuplot charts.
#ifndef PRIME_COMPARE_REPORT_H
#define PRIME_COMPARE_REPORT_H

#include "catalog.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pc {

struct Build {
    std::string label;
    std::string bin;
    std::string suffix;
    std::vector<std::string> prefix; // loader command words
    std::vector<std::pair<std::string, std::string>> info; // compiler, flags...
};

struct RunFigures {
    int index = 0;         // 1-based within its kind
    bool warmup = false;
    double wallMs = 0;
    long peakKiB = 0;
    std::optional<double> ownMs;
    int exitStatus = -1;
    int signal = 0;
    bool timedOut = false;
    std::string outcome;   // "pass", "fail", "timing-only", "error", "timeout", "interrupted"
    std::string detail;
};

struct Summary {
    bool present = false;
    double median = 0, min = 0, max = 0;
};

Summary summarize(std::vector<double> values);

// Row statuses.
extern const char *const kOk;          // verified on every run
extern const char *const kTimingOnly;  // nothing to verify
extern const char *const kFail;        // a wrong result
extern const char *const kTimeout;
extern const char *const kError;       // crashed, bad exit status, unreadable output
extern const char *const kMissing;
extern const char *const kInterrupted;

struct RowResult {
    const Entry *entry = nullptr;
    int build = 0;
    int64_t n = 0;          // the bound the program worked on
    std::string status;
    std::string detail;
    std::vector<RunFigures> runs;
    // Filled in by finish():
    Summary own, wall, peak;
    std::string basis;      // "own" or "wall": which time ranks the family
    std::optional<double> speed; // baseline's median / this median
    std::string against;    // the baseline row used
    int rank = 0;           // 0: not ranked
};

bool measured(const RowResult &r); // ok or timing-only: has figures to rank

struct Report {
    std::string started;    // UTC, ISO 8601
    int runs = 3, warmup = 1;
    double timeoutSeconds = 0;
    std::map<Family, int64_t> n;
    std::vector<Build> builds;
    std::vector<std::pair<std::string, std::string>> machine;
    std::vector<RowResult> rows;
    bool interrupted = false;
    int notRun = 0;         // programs left when interrupted
    bool scan = false;
    Family scanFamily = Family::Listers;
    std::vector<int64_t> scanNs;
    std::string runnerCompiler, runnerFlags;
};

// Summaries, relative speeds and ranks.
void finish(Report &report);

// 0: every result verified or timing-only (missing programs allowed);
// 1: a wrong result, a time-out or a failed program; 130: interrupted.
int exitStatusOf(const Report &report);

std::string formatTable(const Report &report);
std::string formatMarkdown(const Report &report);
std::string formatCsv(const Report &report);
std::string formatJson(const Report &report);

// Draws the chart with gnuplot; false with a message when it cannot.
bool drawChart(const Report &report, const std::string &file, std::string &message);

} // namespace pc

#endif
