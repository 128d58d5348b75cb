// Facts about the machine and the builds, recorded with the figures.
#ifndef PRIME_COMPARE_MACHINE_H
#define PRIME_COMPARE_MACHINE_H

#include <string>
#include <utility>
#include <vector>

namespace pc {

std::vector<std::pair<std::string, std::string>> machineInfo();

// Compiler and flags of the build that made the programs of bin, from the
// build-info.txt that the suite's CMake run leaves beside bin.
std::vector<std::pair<std::string, std::string>> buildInfo(const std::string &bin);

} // namespace pc

#endif
