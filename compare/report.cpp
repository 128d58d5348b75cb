#include "report.h"
#include "parse.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pc {

const char *const kOk = "ok";
const char *const kTimingOnly = "timing-only";
const char *const kFail = "FAIL";
const char *const kTimeout = "timeout";
const char *const kError = "error";
const char *const kMissing = "missing";
const char *const kInterrupted = "interrupted";

Summary summarize(std::vector<double> values)
{
    Summary s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    s.present = true;
    s.min = values.front();
    s.max = values.back();
    std::size_t k = values.size();
    s.median = k % 2 ? values[k / 2] : (values[k / 2 - 1] + values[k / 2]) / 2;
    return s;
}

bool measured(const RowResult &r)
{
    return r.status == kOk || r.status == kTimingOnly;
}

namespace {

double metric(const RowResult &r)
{
    return r.basis == "own" ? r.own.median : r.wall.median;
}

std::string fixed(double v, int decimals)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// Milliseconds with about three significant digits.
std::string ms(double v)
{
    if (v >= 100)
        return fixed(v, 0);
    if (v >= 10)
        return fixed(v, 1);
    return fixed(v, 2);
}

std::string nText(int64_t n)
{
    // 1e5, 2e6 and the like read better in a table than 100000, 2000000.
    if (n >= 10000) {
        int64_t m = n;
        int e = 0;
        while (m % 10 == 0) {
            m /= 10;
            ++e;
        }
        if (e >= 4 && m < 100)
            return std::to_string(m) + "e" + std::to_string(e);
    }
    return std::to_string(n);
}

const std::string &buildLabel(const Report &rep, const RowResult &r)
{
    return rep.builds[static_cast<std::size_t>(r.build)].label;
}

std::string speedText(const RowResult &r)
{
    if (!r.speed)
        return "-";
    return fixed(*r.speed, 2) + "x";
}

struct Cells {
    std::vector<std::string> header;
    std::vector<bool> rightAligned;
    std::vector<std::vector<std::string>> rows;
};

Cells cells(const Report &rep)
{
    bool builds = rep.builds.size() > 1;
    Cells c;
    c.header = {"family", "program"};
    c.rightAligned = {false, false};
    if (builds) {
        c.header.push_back("build");
        c.rightAligned.push_back(false);
    }
    for (const char *h : {"N", "result", "time ms", "min", "max", "wall ms", "peak MiB", "speed",
                          "against", "rank"}) {
        c.header.push_back(h);
        std::string s = h;
        c.rightAligned.push_back(s != "result" && s != "against");
    }
    for (const RowResult &r : rep.rows) {
        std::vector<std::string> row = {familyName(r.entry->family), r.entry->row};
        if (builds)
            row.push_back(buildLabel(rep, r));
        row.push_back(nText(r.n));
        row.push_back(r.status);
        bool m = measured(r);
        if (m && r.own.present) {
            row.push_back(ms(r.own.median));
            row.push_back(ms(r.own.min));
            row.push_back(ms(r.own.max));
        } else {
            row.insert(row.end(), {"-", "-", "-"});
        }
        row.push_back(m && r.wall.present ? ms(r.wall.median) : "-");
        row.push_back(m && r.peak.present ? fixed(r.peak.max / 1024.0, 1) : "-");
        row.push_back(speedText(r));
        row.push_back(r.speed ? r.against : "-");
        row.push_back(r.rank ? std::to_string(r.rank) : "-");
        c.rows.push_back(row);
    }
    return c;
}

std::string notes(const Report &rep)
{
    std::string s;
    for (const RowResult &r : rep.rows) {
        if (r.detail.empty())
            continue;
        s += "  " + r.entry->row;
        if (rep.builds.size() > 1)
            s += " (" + buildLabel(rep, r) + ")";
        if (rep.scan)
            s += " N=" + nText(r.n);
        s += ": " + r.detail + "\n";
    }
    return s;
}

std::string basisNote(const Report &rep)
{
    std::set<std::string> own, wall;
    for (const RowResult &r : rep.rows) {
        if (!measured(r))
            continue;
        (r.basis == "own" ? own : wall).insert(familyName(r.entry->family));
    }
    std::string s = "time ms: the time the program reports; wall ms: the whole process. ";
    s += "Speed (baseline median / median) and rank use the reported time";
    if (!wall.empty()) {
        s += ", and wall time for";
        for (const std::string &f : wall)
            s += " " + f;
    }
    s += ".\n";
    return s;
}

std::string jsonString(const std::string &v)
{
    std::string s = "\"";
    for (char ch : v) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c == '\n') {
            s += "\\n";
        } else if (c < 0x20 || c >= 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            s += buf;
        } else {
            s += static_cast<char>(c);
        }
    }
    return s + "\"";
}

std::string jsonNumber(double v)
{
    if (!std::isfinite(v))
        return "null";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

std::string jsonSummary(const Summary &s)
{
    if (!s.present)
        return "null";
    return "{\"median\": " + jsonNumber(s.median) + ", \"min\": " + jsonNumber(s.min) +
           ", \"max\": " + jsonNumber(s.max) + "}";
}

std::string csvField(const std::string &v)
{
    if (v.find_first_of(",\"\n") == std::string::npos)
        return v;
    std::string s = "\"";
    for (char c : v) {
        if (c == '"')
            s += '"';
        s += c;
    }
    return s + "\"";
}

} // namespace

void finish(Report &rep)
{
    for (RowResult &r : rep.rows) {
        std::vector<double> own, wall, peak;
        for (const RunFigures &f : r.runs) {
            if (f.warmup || (f.outcome != "pass" && f.outcome != "timing-only"))
                continue;
            if (f.ownMs)
                own.push_back(*f.ownMs);
            wall.push_back(f.wallMs);
            peak.push_back(static_cast<double>(f.peakKiB));
        }
        r.own = summarize(own);
        r.wall = summarize(wall);
        r.peak = summarize(peak);
    }
    // One basis per family: the reported time when every measured member
    // reports one, else the wall time, so that all rows compare alike.
    std::map<Family, bool> allOwn;
    for (const RowResult &r : rep.rows) {
        if (!measured(r))
            continue;
        auto it = allOwn.find(r.entry->family);
        bool has = r.own.present;
        allOwn[r.entry->family] = it == allOwn.end() ? has : (it->second && has);
    }
    for (RowResult &r : rep.rows)
        r.basis = allOwn.count(r.entry->family) && allOwn[r.entry->family] ? "own" : "wall";

    for (RowResult &r : rep.rows) {
        r.speed.reset();
        r.against.clear();
        if (!measured(r))
            continue;
        for (const RowResult &b : rep.rows) {
            if (b.entry->row != r.entry->baseline || b.build != r.build || b.n != r.n || !measured(b))
                continue;
            double mine = metric(r), base = metric(b);
            if (mine > 0 && base > 0) {
                r.speed = base / mine;
                r.against = b.entry->row;
            } else if (&b == &r) {
                r.speed = 1.0;
                r.against = b.entry->row;
            }
        }
    }
    // Ranks within a family (and bound), across builds; only verified or
    // timing-only rows take part.
    for (RowResult &r : rep.rows) {
        r.rank = 0;
        if (!measured(r))
            continue;
        int better = 0;
        for (const RowResult &o : rep.rows)
            if (&o != &r && measured(o) && o.entry->family == r.entry->family && o.n == r.n &&
                metric(o) < metric(r))
                ++better;
        r.rank = better + 1;
    }
}

int exitStatusOf(const Report &rep)
{
    if (rep.interrupted)
        return 130;
    for (const RowResult &r : rep.rows)
        if (r.status == kFail || r.status == kTimeout || r.status == kError)
            return 1;
    return 0;
}

std::string formatTable(const Report &rep)
{
    Cells c = cells(rep);
    std::vector<std::size_t> width(c.header.size(), 0);
    for (std::size_t i = 0; i < c.header.size(); ++i)
        width[i] = c.header[i].size();
    for (const auto &row : c.rows)
        for (std::size_t i = 0; i < row.size(); ++i)
            width[i] = std::max(width[i], row[i].size());
    auto line = [&](const std::vector<std::string> &row) {
        std::string s;
        for (std::size_t i = 0; i < row.size(); ++i) {
            std::string pad(width[i] - row[i].size(), ' ');
            s += c.rightAligned[i] ? pad + row[i] : row[i] + pad;
            if (i + 1 < row.size())
                s += "  ";
        }
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        return s + "\n";
    };
    std::string out = line(c.header);
    std::string prevFamily;
    for (std::size_t k = 0; k < c.rows.size(); ++k) {
        if (k > 0 && c.rows[k][0] != prevFamily)
            out += "\n";
        prevFamily = c.rows[k][0];
        out += line(c.rows[k]);
    }
    out += "\n" + basisNote(rep);
    std::string n = notes(rep);
    if (!n.empty())
        out += "Notes:\n" + n;
    if (rep.interrupted)
        out += "Interrupted: " + std::to_string(rep.notRun) + " program run(s) not started.\n";
    return out;
}

std::string formatMarkdown(const Report &rep)
{
    Cells c = cells(rep);
    std::string out = "| ";
    for (std::size_t i = 0; i < c.header.size(); ++i)
        out += c.header[i] + (i + 1 < c.header.size() ? " | " : " |\n");
    out += "|";
    for (std::size_t i = 0; i < c.header.size(); ++i)
        out += c.rightAligned[i] ? "---:|" : "---|";
    out += "\n";
    for (const auto &row : c.rows) {
        out += "| ";
        for (std::size_t i = 0; i < row.size(); ++i)
            out += row[i] + (i + 1 < row.size() ? " | " : " |\n");
    }
    out += "\n" + basisNote(rep);
    std::string n = notes(rep);
    if (!n.empty()) {
        out += "\n";
        std::istringstream in(n);
        std::string l;
        while (std::getline(in, l))
            out += "- " + l.substr(2) + "\n";
    }
    for (const auto &kv : rep.machine)
        if (kv.first == "processor" || kv.first == "cores" || kv.first == "os") {
            out += (kv.first == "processor" ? "\nMachine: " : ", ") + kv.second;
        }
    out += "\n";
    return out;
}

std::string formatCsv(const Report &rep)
{
    std::string out = "family,program,row,build,n,status,basis,time_median_ms,time_min_ms,time_max_ms,"
                      "wall_median_ms,wall_min_ms,wall_max_ms,peak_kib,speed,against,rank,detail\n";
    for (const RowResult &r : rep.rows) {
        auto num = [](const Summary &s, double Summary::*f) {
            return s.present ? jsonNumber(s.*f) : std::string();
        };
        std::vector<std::string> f = {familyName(r.entry->family), r.entry->program, r.entry->row,
                                      buildLabel(rep, r), std::to_string(r.n), r.status, r.basis,
                                      num(r.own, &Summary::median), num(r.own, &Summary::min),
                                      num(r.own, &Summary::max), num(r.wall, &Summary::median),
                                      num(r.wall, &Summary::min), num(r.wall, &Summary::max),
                                      r.peak.present ? jsonNumber(r.peak.max) : std::string(),
                                      r.speed ? jsonNumber(*r.speed) : std::string(), r.against,
                                      r.rank ? std::to_string(r.rank) : std::string(), r.detail};
        for (std::size_t i = 0; i < f.size(); ++i)
            out += csvField(f[i]) + (i + 1 < f.size() ? "," : "\n");
    }
    return out;
}

std::string formatJson(const Report &rep)
{
    std::ostringstream o;
    o << "{\n  \"tool\": \"prime-compare\",\n  \"started\": " << jsonString(rep.started)
      << ",\n  \"interrupted\": " << (rep.interrupted ? "true" : "false")
      << ",\n  \"exit_status\": " << exitStatusOf(rep) << ",\n  \"settings\": {\"runs\": " << rep.runs
      << ", \"warmup\": " << rep.warmup << ", \"timeout_seconds\": " << jsonNumber(rep.timeoutSeconds)
      << ", \"n\": {";
    bool first = true;
    for (const auto &kv : rep.n) {
        o << (first ? "" : ", ") << jsonString(familyName(kv.first)) << ": " << kv.second;
        first = false;
    }
    o << "}";
    if (rep.scan) {
        o << ", \"scan\": {\"family\": " << jsonString(familyName(rep.scanFamily)) << ", \"n\": [";
        for (std::size_t i = 0; i < rep.scanNs.size(); ++i)
            o << (i ? ", " : "") << rep.scanNs[i];
        o << "]}";
    }
    o << "},\n  \"machine\": {";
    for (std::size_t i = 0; i < rep.machine.size(); ++i)
        o << (i ? ", " : "") << jsonString(rep.machine[i].first) << ": " << jsonString(rep.machine[i].second);
    o << "},\n  \"runner\": {\"compiler\": " << jsonString(rep.runnerCompiler)
      << ", \"flags\": " << jsonString(rep.runnerFlags) << "},\n  \"builds\": [";
    for (std::size_t i = 0; i < rep.builds.size(); ++i) {
        const Build &b = rep.builds[i];
        std::string prefix;
        for (const std::string &w : b.prefix)
            prefix += (prefix.empty() ? "" : " ") + w;
        o << (i ? ",\n    " : "\n    ") << "{\"label\": " << jsonString(b.label)
          << ", \"bin\": " << jsonString(b.bin) << ", \"exe_suffix\": " << jsonString(b.suffix)
          << ", \"prefix\": " << jsonString(prefix);
        for (const auto &kv : b.info)
            o << ", " << jsonString(kv.first) << ": " << jsonString(kv.second);
        o << "}";
    }
    o << "\n  ],\n  \"results\": [";
    for (std::size_t i = 0; i < rep.rows.size(); ++i) {
        const RowResult &r = rep.rows[i];
        o << (i ? ",\n    " : "\n    ") << "{\"row\": " << jsonString(r.entry->row)
          << ", \"program\": " << jsonString(r.entry->program)
          << ", \"family\": " << jsonString(familyName(r.entry->family))
          << ", \"build\": " << jsonString(buildLabel(rep, r)) << ", \"n\": " << r.n
          << ", \"status\": " << jsonString(r.status)
          << ", \"verified\": " << (r.status == kOk ? "true" : "false")
          << ", \"timing_only\": " << (timingOnly(r.entry->format) ? "true" : "false")
          << ", \"detail\": " << jsonString(r.detail) << ",\n      \"time_ms\": " << jsonSummary(r.own)
          << ", \"wall_ms\": " << jsonSummary(r.wall) << ", \"peak_kib\": " << jsonSummary(r.peak)
          << ",\n      \"basis\": " << jsonString(r.basis)
          << ", \"speed\": " << (r.speed ? jsonNumber(*r.speed) : "null")
          << ", \"against\": " << (r.speed ? jsonString(r.against) : "null")
          << ", \"rank\": " << (r.rank ? std::to_string(r.rank) : "null") << ",\n      \"runs\": [";
        for (std::size_t k = 0; k < r.runs.size(); ++k) {
            const RunFigures &f = r.runs[k];
            o << (k ? ",\n        " : "\n        ") << "{\"index\": " << f.index
              << ", \"warmup\": " << (f.warmup ? "true" : "false")
              << ", \"outcome\": " << jsonString(f.outcome)
              << ", \"time_ms\": " << (f.ownMs ? jsonNumber(*f.ownMs) : "null")
              << ", \"wall_ms\": " << jsonNumber(f.wallMs) << ", \"peak_kib\": " << f.peakKiB
              << ", \"exit_status\": " << (f.exitStatus >= 0 ? std::to_string(f.exitStatus) : "null")
              << ", \"signal\": " << (f.signal ? std::to_string(f.signal) : "null")
              << ", \"timed_out\": " << (f.timedOut ? "true" : "false")
              << ", \"detail\": " << jsonString(f.detail) << "}";
        }
        o << (r.runs.empty() ? "]}" : "\n      ]}");
    }
    o << "\n  ]\n}\n";
    return o.str();
}

namespace {

bool onPath(const std::string &name)
{
    const char *path = std::getenv("PATH");
    if (!path)
        return false;
    std::istringstream in(path);
    std::string dir;
    while (std::getline(in, dir, ':')) {
        std::string p = (dir.empty() ? "." : dir) + "/" + name;
        if (access(p.c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

std::string gpQuote(const std::string &s)
{
    std::string r = "'";
    for (char c : s) {
        if (c == '\'')
            r += "''";
        else
            r += c;
    }
    return r + "'";
}

std::string lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

bool drawChart(const Report &rep, const std::string &file, std::string &message)
{
    std::string ext = lower(file.size() >= 4 ? file.substr(file.size() - 4) : std::string());
    if (ext != ".svg" && ext != ".png") {
        message = "the chart file must end in .svg or .png: " + file;
        return false;
    }
    if (!onPath("gnuplot")) {
        message = "gnuplot is not installed (Debian package gnuplot-nox); no chart drawn";
        return false;
    }
    char dirTemplate[] = "/tmp/prime-compare-chart.XXXXXX";
    if (!mkdtemp(dirTemplate)) {
        message = "cannot make a folder for the chart data";
        return false;
    }
    std::string dir = dirTemplate;
    std::ostringstream gp;
    std::vector<std::string> files;
    bool multiBuild = rep.builds.size() > 1;
    auto seriesName = [&](const RowResult &r) {
        return r.entry->row + (multiBuild ? " (" + rep.builds[static_cast<std::size_t>(r.build)].label + ")" : "");
    };
    bool png = ext == ".png";
    if (rep.scan) {
        // Time against N, one line per program (and build), log scales.
        std::vector<std::string> series;
        std::map<std::string, std::vector<std::pair<int64_t, double>>> points;
        for (const RowResult &r : rep.rows) {
            if (!measured(r))
                continue;
            std::string name = seriesName(r);
            if (!points.count(name))
                series.push_back(name);
            points[name].push_back({r.n, metric(r)});
        }
        gp << (png ? "set terminal pngcairo noenhanced size 900,600 font 'sans,10'\n"
                   : "set terminal svg noenhanced size 900,600 dynamic font 'sans,10'\n");
        gp << "set output " << gpQuote(file) << "\n";
        gp << "set logscale xy\nset grid\nset key left top\nset xlabel 'N'\n";
        std::string basis = rep.rows.empty() ? "own" : rep.rows.front().basis;
        gp << "set ylabel " << gpQuote(basis == "own" ? "reported time, median ms" : "wall time, median ms") << "\n";
        gp << "set title " << gpQuote(std::string("prime-compare: ") + familyName(rep.scanFamily) + ", time against N") << "\n";
        if (series.empty()) {
            message = "no measured results to chart";
            return false;
        }
        gp << "plot ";
        for (std::size_t i = 0; i < series.size(); ++i) {
            std::string data = dir + "/s" + std::to_string(i) + ".dat";
            std::ofstream d(data);
            auto pts = points[series[i]];
            std::sort(pts.begin(), pts.end());
            for (const auto &p : pts)
                d << p.first << " " << std::max(p.second, 0.001) << "\n";
            files.push_back(data);
            gp << (i ? ", " : "") << gpQuote(data) << " using 1:2 with linespoints lw 2 title "
               << gpQuote(series[i]);
        }
        gp << "\n";
    } else {
        // Bars of the medians, one panel per family, builds side by side.
        std::vector<Family> families;
        for (Family f : allFamilies())
            for (const RowResult &r : rep.rows)
                if (r.entry->family == f && measured(r)) {
                    families.push_back(f);
                    break;
                }
        if (families.empty()) {
            message = "no measured results to chart";
            return false;
        }
        std::size_t cols = families.size() > 1 ? 2 : 1;
        std::size_t rowsN = (families.size() + cols - 1) / cols;
        gp << (png ? "set terminal pngcairo noenhanced size " : "set terminal svg noenhanced dynamic size ") << 520 * cols << ","
           << 340 * rowsN << " font 'sans,9'\n";
        gp << "set output " << gpQuote(file) << "\n";
        gp << "set style data histograms\nset style histogram clustered gap 1\n"
              "set style fill solid 0.8 border -1\nset boxwidth 0.9\nset logscale y\n"
              "set grid ytics\nset xtics rotate by -30 nomirror\nset datafile missing '-'\n"
              "set key top left\nset bmargin 6\n";
        gp << "set multiplot layout " << rowsN << "," << cols << " title "
           << gpQuote("prime-compare: median time per program (log scale)") << "\n";
        for (std::size_t k = 0; k < families.size(); ++k) {
            Family f = families[k];
            std::vector<std::string> programs;
            std::map<std::string, std::map<int, double>> value;
            std::string basis = "own";
            int64_t n = 0;
            for (const RowResult &r : rep.rows) {
                if (r.entry->family != f || !measured(r))
                    continue;
                if (!value.count(r.entry->row))
                    programs.push_back(r.entry->row);
                value[r.entry->row][r.build] = metric(r);
                basis = r.basis;
                if (r.entry->feed != Feed::Fixed)
                    n = r.n;
            }
            std::string data = dir + "/f" + std::to_string(k) + ".dat";
            std::ofstream d(data);
            d << "# program";
            for (const Build &b : rep.builds)
                d << " \"" << b.label << "\"";
            d << "\n";
            for (const std::string &p : programs) {
                d << "\"" << p << "\"";
                for (std::size_t b = 0; b < rep.builds.size(); ++b) {
                    auto it = value[p].find(static_cast<int>(b));
                    if (it == value[p].end())
                        d << " -";
                    else
                        d << " " << std::max(it->second, 0.001);
                }
                d << "\n";
            }
            files.push_back(data);
            std::string title = std::string(familyName(f));
            if (n)
                title += ", N = " + std::to_string(n);
            gp << "set title " << gpQuote(title) << "\n";
            gp << "set ylabel " << gpQuote(basis == "own" ? "reported ms" : "wall ms") << "\n";
            gp << "set xrange [-0.6:" << static_cast<double>(programs.size()) - 0.4 << "]\n";
            gp << "plot ";
            for (std::size_t b = 0; b < rep.builds.size(); ++b)
                gp << (b ? ", " : "") << gpQuote(data) << " using " << b + 2 << (b ? "" : ":xtic(1)")
                   << " title " << (multiBuild ? gpQuote(rep.builds[b].label) : std::string("''"))
                   << ", '' using ($0+" << (rep.builds.size() > 1 ? (static_cast<double>(b) - (rep.builds.size() - 1) / 2.0) / (rep.builds.size() + 1) : 0.0)
                   << "):" << b + 2 << ":($" << b + 2 << " >= 100 ? sprintf('%.0f', $" << b + 2
                   << ") : sprintf('%.3g', $" << b + 2 << ")) with labels offset 0,0.6 notitle";
            gp << "\n";
        }
        gp << "unset multiplot\n";
    }
    std::string script = dir + "/chart.gp";
    {
        std::ofstream s(script);
        s << gp.str();
    }
    auto shQuote = [](const std::string &v) {
        std::string r = "'";
        for (char c : v)
            r += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return r + "'";
    };
    std::string cmd = "gnuplot " + shQuote(script) + " 2>" + shQuote(dir + "/gnuplot.err");
    int rc = std::system(cmd.c_str());
    std::string err;
    {
        std::ifstream e(dir + "/gnuplot.err");
        std::getline(e, err, '\0');
    }
    for (const std::string &f : files)
        std::remove(f.c_str());
    std::remove(script.c_str());
    std::remove((dir + "/gnuplot.err").c_str());
    rmdir(dir.c_str());
    if (rc != 0) {
        message = "gnuplot failed: " + err;
        return false;
    }
    struct stat st;
    if (stat(file.c_str(), &st) != 0 || st.st_size == 0) {
        message = "gnuplot wrote no chart";
        return false;
    }
    return true;
}

} // namespace pc
