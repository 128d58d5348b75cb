#include "machine.h"

#include <fstream>
#include <sys/utsname.h>
#include <unistd.h>

namespace pc {

namespace {

std::string trim(const std::string &s)
{
    std::size_t a = s.find_first_not_of(" \t\"");
    std::size_t b = s.find_last_not_of(" \t\"");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// The value after "key<sep>" on the first line that starts with key.
std::string lookup(const std::string &file, const std::string &key, char sep)
{
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::size_t p = line.find(sep, key.size());
        if (p == std::string::npos)
            continue;
        if (trim(line.substr(key.size(), p - key.size())).empty())
            return trim(line.substr(p + 1));
    }
    return std::string();
}

} // namespace

std::vector<std::pair<std::string, std::string>> machineInfo()
{
    std::vector<std::pair<std::string, std::string>> info;
    std::string cpu = lookup("/proc/cpuinfo", "model name", ':');
    struct utsname u;
    bool haveUname = uname(&u) == 0;
    if (cpu.empty() && haveUname)
        cpu = u.machine;
    info.push_back({"processor", cpu.empty() ? "unknown" : cpu});
    long cores = sysconf(_SC_NPROCESSORS_ONLN);
    info.push_back({"cores", std::to_string(cores > 0 ? cores : 1)});
    std::string os = lookup("/etc/os-release", "PRETTY_NAME", '=');
    if (haveUname) {
        std::string kernel = std::string(u.sysname) + " " + u.release;
        info.push_back({"os", os.empty() ? kernel : os + ", " + kernel});
        info.push_back({"arch", u.machine});
        info.push_back({"host", u.nodename});
    } else {
        info.push_back({"os", os.empty() ? "unknown" : os});
    }
    return info;
}

std::vector<std::pair<std::string, std::string>> buildInfo(const std::string &bin)
{
    // Written by the build's CMake run: one key=value a line.
    std::vector<std::pair<std::string, std::string>> info;
    std::ifstream in(bin + "/../build-info.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0)
            continue;
        info.push_back({line.substr(0, eq), trim(line.substr(eq + 1))});
    }
    return info;
}

} // namespace pc
