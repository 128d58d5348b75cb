// Differential fuzzing of finders-try's bound reader (the program source is
// built in with its main renamed) against strtoull: digits only, at least
// one, and no overflow of size_t.
#define main program_main
#include "../../finders/finders_try.cpp"
#undef main

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    const char *s = text.c_str();

    size_t got = 777;
    bool ok = parseBound(s, &got);

    bool allDigits = *s != '\0';
    for (const char *p = s; *p; ++p)
        allDigits = allDigits && *p >= '0' && *p <= '9';
    errno = 0;
    unsigned long long value = allDigits ? std::strtoull(s, nullptr, 10) : 0;
    bool want = allDigits && errno != ERANGE;
    if (ok != want)
        std::abort();
    if (want ? got != value : got != 777)
        std::abort();
    return 0;
}
