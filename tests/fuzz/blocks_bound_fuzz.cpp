// The block lister's standard-input reader on arbitrary input: it must
// never fault and must give an int with no prime below it for anything
// the stream cannot read as one (the module is built in).
#include "../../blocks/linux.cpp"

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char *>(data), size));
    std::streambuf *saved = std::cin.rdbuf(in.rdbuf());
    std::cin.clear();
    int got = readBound();
    std::cin.rdbuf(saved);
    std::cin.clear();

    std::istringstream again(std::string(reinterpret_cast<const char *>(data), size));
    int value = 0;
    if (!(again >> value))
        value = 0;
    if (got != value)
        std::abort();
    return 0;
}
