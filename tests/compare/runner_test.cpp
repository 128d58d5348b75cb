// prime-compare against stand-in programs: right results verify, wrong ones
// are caught, a hang is timed out, Ctrl-C still gives a report, and the
// JSON file holds what it promises.
#include "harness.h"
#include "json_lite.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const std::string kGood = std::string(FIXTURE_DIR) + "/good";
const std::string kBad = std::string(FIXTURE_DIR) + "/bad";
const std::string kWine = std::string(FIXTURE_DIR) + "/wine";

harness::RunResult compare(std::vector<std::string> args, double timeout = 120)
{
    harness::RunOptions o;
    o.args = std::move(args);
    o.native = true;
    o.timeoutSeconds = timeout;
    o.stdinMode = harness::Stdin::DevNull;
    return harness::runPath(PRIME_COMPARE_PATH, o);
}

std::string tempFile(const std::string &name)
{
    const char *dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/prime-compare-test-" + std::to_string(getpid()) + "-" + name;
}

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

jsonlite::Value readJson(const std::string &path)
{
    std::string text = slurp(path);
    std::remove(path.c_str());
    return jsonlite::parse(text);
}

// The results of a report by row name (single build, single bound).
std::map<std::string, jsonlite::Value> byRow(const jsonlite::Value &doc)
{
    std::map<std::string, jsonlite::Value> rows;
    for (const jsonlite::Value &r : doc["results"].items)
        rows[r["row"].str] = r;
    return rows;
}

// The table line of a row: its words.
std::vector<std::string> tableRow(const std::string &table, const std::string &row)
{
    for (const std::string &line : harness::lines(table)) {
        std::vector<std::string> w = harness::words(line);
        if (w.size() > 2 && w[1] == row)
            return w;
    }
    return {};
}

const std::vector<std::string> kSmall = {"--n", "listers=1000", "--n", "counters=1e4", "--n", "pools=100",
                                         "--n", "strided=5000", "--n", "finders=2e4"};

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(Runner, RightResultsInEveryFormatVerifyAndTheJsonHoldsEveryRun)
{
    std::string json = tempFile("good.json");
    harness::RunResult r =
        compare(with(kSmall, {"--bin", kGood, "--runs", "2", "--warmup", "1", "--quiet", "--json", json}));
    ASSERT_EQ(r.exitStatus, 0) << harness::describe(r);
    EXPECT_EQ(r.err, "") << "--quiet shows no progress";

    jsonlite::Value doc = readJson(json);
    EXPECT_EQ(doc["tool"].str, "prime-compare");
    EXPECT_FALSE(doc["interrupted"].b);
    EXPECT_EQ(doc["exit_status"].num, 0);
    EXPECT_EQ(doc["settings"]["runs"].num, 2);
    EXPECT_EQ(doc["settings"]["warmup"].num, 1);
    EXPECT_EQ(doc["settings"]["n"]["counters"].num, 10000);
    for (const char *key : {"processor", "cores", "os"}) {
        ASSERT_TRUE(doc["machine"].has(key)) << key;
        EXPECT_FALSE(doc["machine"][key].str.empty()) << key;
    }
    EXPECT_GE(std::stoi(doc["machine"]["cores"].str), 1);
    EXPECT_FALSE(doc["runner"]["compiler"].str.empty());
    EXPECT_NE(doc["runner"]["flags"].str.find("-Wall"), std::string::npos);
    ASSERT_EQ(doc["builds"].size(), 1u);
    EXPECT_EQ(doc["builds"][0]["bin"].str, kGood);

    auto rows = byRow(doc);
    ASSERT_EQ(rows.size(), 17u);
    const std::map<std::string, std::string> status = {
        {"squarestep-serial", "ok"},       {"squarestep-pthread", "ok"},      {"squarestep-winapi", "ok"},
        {"blocks-pthread", "ok"},          {"tally-serial", "ok"},            {"tally-pthread", "ok"},
        {"pool-pthread", "timing-only"},   {"pool-winapi", "timing-only"},    {"compare-pthread", "timing-only"},
        {"compare-winapi", "timing-only"}, {"stride-pthread", "timing-only"}, {"stride-winapi", "timing-only"},
        {"stride-prompt", "timing-only"},  {"find_primes_single_naive", "ok"}, {"find_primes_multi_naive", "ok"},
        {"find_primes_single_filter", "ok"}, {"find_primes_multi_filter", "ok"}};
    for (const auto &kv : status) {
        SCOPED_TRACE(kv.first);
        const jsonlite::Value &row = rows.at(kv.first);
        EXPECT_EQ(row["status"].str, kv.second) << row["detail"].str;
        EXPECT_EQ(row["verified"].b, kv.second == "ok");
        EXPECT_EQ(row["timing_only"].b, kv.second == "timing-only");
        ASSERT_EQ(row["runs"].size(), 3u);
        EXPECT_TRUE(row["runs"][0]["warmup"].b);
        EXPECT_FALSE(row["runs"][1]["warmup"].b);
        for (const jsonlite::Value &run : row["runs"].items) {
            EXPECT_GT(run["wall_ms"].num, 0);
            EXPECT_GT(run["peak_kib"].num, 0);
            EXPECT_EQ(run["exit_status"].num, 0);
        }
        EXPECT_LE(row["wall_ms"]["min"].num, row["wall_ms"]["median"].num);
        EXPECT_LE(row["wall_ms"]["median"].num, row["wall_ms"]["max"].num);
        EXPECT_EQ(row["rank"].kind, jsonlite::Value::Number);
    }
    // The times the programs print, each in its own text.
    const std::map<std::string, double> reported = {
        {"blocks-pthread", 12},  {"tally-serial", 125},    {"tally-pthread", 125},
        {"pool-pthread", 42.1},  {"compare-pthread", 1500}, {"compare-winapi", 1250},
        {"stride-pthread", 35},  {"stride-winapi", 1234},  {"stride-prompt", 16},
        {"find_primes_multi_filter", 3.5}};
    for (const auto &kv : reported)
        EXPECT_NEAR(rows.at(kv.first)["time_ms"]["median"].num, kv.second, 1e-6) << kv.first;
    EXPECT_EQ(rows.at("squarestep-serial")["time_ms"].kind, jsonlite::Value::Null);
    // Bounds: the family's N, or the program's own.
    EXPECT_EQ(rows.at("stride-pthread")["n"].num, 10000000);
    EXPECT_EQ(rows.at("stride-prompt")["n"].num, 5000);
    // Relative speed against the family's reference, or the pthread twin.
    EXPECT_EQ(rows.at("compare-winapi")["against"].str, "compare-pthread");
    EXPECT_NEAR(rows.at("compare-winapi")["speed"].num, 1.2, 1e-9);
    EXPECT_EQ(rows.at("tally-pthread")["against"].str, "tally-serial");
    EXPECT_EQ(rows.at("squarestep-winapi")["against"].str, "squarestep-pthread");
    EXPECT_EQ(rows.at("squarestep-serial")["basis"].str, "wall");
    EXPECT_EQ(rows.at("find_primes_multi_naive")["against"].str, "find_primes_single_naive");
    EXPECT_NEAR(rows.at("find_primes_multi_naive")["speed"].num, 0.5 / 1.5, 1e-5);
    EXPECT_EQ(rows.at("stride-prompt")["against"].kind, jsonlite::Value::Null)
        << "a baseline at another bound is no baseline";

    std::vector<std::string> line = tableRow(r.out, "stride-winapi");
    ASSERT_FALSE(line.empty()) << r.out;
    EXPECT_EQ(line[2], "1e7");
    EXPECT_EQ(line[3], "timing-only");
}

TEST(Runner, WrongResultsHangsAndCrashesAreReportedAndTheRestGoesOn)
{
    std::string json = tempFile("bad.json");
    harness::RunResult r = compare(
        with(kSmall, {"--bin", kBad, "--runs", "2", "--warmup", "0", "--timeout", "2", "--json", json}));
    EXPECT_EQ(r.exitStatus, 1) << harness::describe(r);
    auto rows = byRow(readJson(json));
    struct Expect {
        const char *row;
        const char *status;
        const char *detail;
    } expect[] = {
        {"squarestep-serial", "FAIL", "1 wrong number (first \"9\")"},
        {"squarestep-pthread", "FAIL", "missing 1 prime (first 997)"},
        {"squarestep-winapi", "error", "signal 6"},
        {"blocks-pthread", "FAIL", "1 prime listed twice (first 2)"},
        {"tally-serial", "FAIL", "count 1230, expected 1229"},
        {"tally-pthread", "error", "no time line"},
        {"pool-pthread", "error", "exit status 3"},
        {"pool-winapi", "missing", ""},
        {"stride-prompt", "timeout", "timed out after 2 s"},
        {"find_primes_single_naive", "ok", ""},
        {"find_primes_multi_filter", "FAIL", "sum 21171193, expected 21171191"},
    };
    for (const Expect &e : expect) {
        SCOPED_TRACE(e.row);
        const jsonlite::Value &row = rows.at(e.row);
        EXPECT_EQ(row["status"].str, e.status);
        EXPECT_NE(row["detail"].str.find(e.detail), std::string::npos) << row["detail"].str;
        if (std::string(e.status) != "ok") {
            EXPECT_EQ(row["rank"].kind, jsonlite::Value::Null) << "left out of the ranking";
        }
    }
    // A wrong result is still verified on the first run only; a hang is not
    // tried again.
    EXPECT_EQ(rows.at("stride-prompt")["runs"].size(), 1u);
    EXPECT_TRUE(rows.at("stride-prompt")["runs"][0]["timed_out"].b);
    EXPECT_EQ(rows.at("find_primes_single_naive")["runs"].size(), 2u);
    EXPECT_EQ(rows.at("find_primes_single_naive")["rank"].num, 1);

    std::vector<std::string> line = tableRow(r.out, "tally-serial");
    ASSERT_GE(line.size(), 4u) << r.out;
    EXPECT_EQ(line[3], "FAIL");
    EXPECT_NE(r.out.find("tally-serial: run 1: count 1230, expected 1229"), std::string::npos) << r.out;
    // Progress goes to standard error as plain lines when it is no terminal.
    EXPECT_NE(r.err.find("tally-serial N=10000: run 1 of 2\n"), std::string::npos) << r.err;
}

TEST(Runner, WindowsBuildThroughALoaderSideBySide)
{
    std::string json = tempFile("wine.json");
    harness::RunResult r =
        compare({"--n", "counters=1e4", "--only", "tally-serial,pool-winapi,stride-prompt", "--runs", "1",
                 "--warmup", "0", "--quiet", "--bin", kGood, "--bin", kWine, "--exe-suffix", ".exe", "--prefix",
                 std::string(FIXTURE_DIR) + "/fake-loader.sh", "--label", "wine", "--json", json});
    ASSERT_EQ(r.exitStatus, 0) << harness::describe(r);
    jsonlite::Value doc = readJson(json);
    ASSERT_EQ(doc["builds"].size(), 2u);
    EXPECT_EQ(doc["builds"][1]["exe_suffix"].str, ".exe");
    EXPECT_NE(doc["builds"][1]["prefix"].str.find("fake-loader.sh"), std::string::npos);
    ASSERT_EQ(doc["results"].size(), 6u);
    for (const jsonlite::Value &row : doc["results"].items) {
        SCOPED_TRACE(row["row"].str + " " + row["build"].str);
        EXPECT_TRUE(row["status"].str == "ok" || row["status"].str == "timing-only") << row["detail"].str;
    }
    std::vector<std::string> line;
    for (const std::string &l : harness::lines(r.out))
        if (l.find("tally-serial") != std::string::npos && l.find("wine") != std::string::npos)
            line = harness::words(l);
    ASSERT_GE(line.size(), 5u) << r.out;
    EXPECT_EQ(line[2], "wine");
    EXPECT_EQ(line[4], "ok");
}

// Starts the runner, waits until its progress names the hanging program,
// sends SIGINT, and collects what it printed.
TEST(Runner, CtrlCStopsTheRunningProgramAndStillReports)
{
    std::string json = tempFile("int.json");
    int out[2], err[2];
    ASSERT_EQ(pipe(out), 0);
    ASSERT_EQ(pipe(err), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        execl(PRIME_COMPARE_PATH, PRIME_COMPARE_PATH, "--bin", kBad.c_str(), "--only",
              "tally-serial,stride-prompt,finders-try", "--n", "counters=100", "--runs", "1", "--warmup", "0",
              "--timeout", "100", "--json", json.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    std::string errText, outText;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool sent = false;
    bool outOpen = true, errOpen = true;
    while ((outOpen || errOpen) && std::chrono::steady_clock::now() < deadline) {
        struct pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        poll(fds, 2, 100);
        char buf[4096];
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            ssize_t k = read(fds[i].fd, buf, sizeof buf);
            if (k <= 0)
                (i == 0 ? outOpen : errOpen) = false;
            else
                (i == 0 ? outText : errText).append(buf, static_cast<std::size_t>(k));
        }
        if (!sent && errText.find("stride-prompt") != std::string::npos) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            kill(pid, SIGINT);
            sent = true;
        }
    }
    if (outOpen || errOpen)
        kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    close(out[0]);
    close(err[0]);
    ASSERT_TRUE(sent) << errText;
    ASSERT_TRUE(WIFEXITED(status)) << "the runner itself was killed";
    EXPECT_EQ(WEXITSTATUS(status), 130);

    EXPECT_EQ(tableRow(outText, "tally-serial").at(3), "FAIL") << outText;
    EXPECT_EQ(tableRow(outText, "stride-prompt").at(3), "interrupted") << outText;
    EXPECT_TRUE(tableRow(outText, "find_primes_single_naive").empty()) << "not run after Ctrl-C";
    EXPECT_NE(outText.find("Interrupted: 1 program run(s) not started."), std::string::npos) << outText;
    jsonlite::Value doc = readJson(json);
    EXPECT_TRUE(doc["interrupted"].b);
    EXPECT_EQ(doc["exit_status"].num, 130);
    EXPECT_EQ(doc["results"].size(), 2u);
}

TEST(Runner, ScanAndChartsDrawWithGnuplotAndSayPlainlyWithout)
{
    std::string svg = tempFile("scan.svg");
    harness::RunResult r = compare({"--bin", kGood, "--scan", "strided=100,1e3", "--runs", "1", "--warmup", "0",
                                    "--quiet", "--chart", svg});
    ASSERT_EQ(r.exitStatus, 0) << harness::describe(r);
    // Only stride-prompt takes a bound; the fixed-bound scans stay out.
    int rows = 0;
    for (const std::string &l : harness::lines(r.out))
        if (l.find("stride-") != std::string::npos) {
            ++rows;
            EXPECT_NE(l.find("stride-prompt"), std::string::npos) << l;
        }
    EXPECT_EQ(rows, 2) << r.out;
    if (system("command -v gnuplot >/dev/null 2>&1") == 0) {
        std::string chart = slurp(svg);
        EXPECT_NE(chart.find("<svg"), std::string::npos) << r.err;
        EXPECT_NE(chart.find("stride-prompt"), std::string::npos);
    }
    std::remove(svg.c_str());

    harness::RunOptions o;
    o.args = {"--bin", kGood, "--only", "pool-pthread", "--runs", "1", "--warmup", "0", "--quiet", "--chart", svg};
    o.native = true;
    o.env = {{"PATH", "/nonexistent"}};
    harness::RunResult without = harness::runPath(PRIME_COMPARE_PATH, o);
    EXPECT_EQ(without.exitStatus, 0) << harness::describe(without);
    EXPECT_NE(without.err.find("gnuplot is not installed"), std::string::npos) << without.err;
    EXPECT_NE(without.out.find("pool-pthread"), std::string::npos);
}

TEST(Runner, CsvAndMarkdownHoldOneLinePerRow)
{
    std::string csv = tempFile("t.csv"), md = tempFile("t.md");
    harness::RunResult r = compare({"--bin", kGood, "--only", "squarestep-serial,tally-serial", "--n",
                                    "counters=1000", "--runs", "1", "--warmup", "0", "--quiet", "--csv", csv,
                                    "--markdown", md});
    ASSERT_EQ(r.exitStatus, 0) << harness::describe(r);
    std::vector<std::string> csvLines = harness::lines(slurp(csv));
    ASSERT_EQ(csvLines.size(), 3u);
    EXPECT_EQ(csvLines[0].rfind("family,program,row,build,n,status", 0), 0u);
    EXPECT_EQ(csvLines[2].rfind("counters,tally-serial,tally-serial,native,1000,ok,own,125,", 0), 0u)
        << csvLines[2];
    std::string mdText = slurp(md);
    EXPECT_NE(mdText.find("| counters | tally-serial | 1000 | ok | 125 |"), std::string::npos) << mdText;
    std::remove(csv.c_str());
    std::remove(md.c_str());
}

TEST(Runner, BadUsageIsRefusedWithStatus2)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--n", "primes=1000"},   {"--n", "counters=abc"}, {"--n", "counters=1"},  {"--n", "pools=2"},
        {"--n", "counters"},      {"--n", "counters=3e9"}, {"--runs", "0"},       {"--warmup", "-1"},
        {"--only", "nonesuch"},   {"--chart", "x.txt"},    {"--scan", "pools"},   {"--timeout", "0"},
        {"--frobnicate"},         {"--runs"},              {"--scan", "strided=100,x"}};
    for (const auto &args : cases) {
        harness::RunResult r = compare(with(args, {"--bin", kGood, "--quiet"}));
        std::string shown;
        for (const std::string &a : args)
            shown += a + " ";
        EXPECT_EQ(r.exitStatus, 2) << shown << harness::describe(r);
        EXPECT_NE(r.err.find("prime-compare: "), std::string::npos) << shown;
        EXPECT_EQ(r.out, "") << shown;
    }
}

} // namespace
