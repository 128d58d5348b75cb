// Differential fuzzing of the listers' bound reader against strtoll: the
// same verdict and the same value for every text, and no fault.
#include "bound.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    const char *s = text.c_str(); // stops at the first NUL, as argv would

    ULong got = 12345;
    ParseResult verdict = parseBound(s, &got);

    const char *p = s;
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    ParseResult want;
    long long value = 0;
    if (*p == '\0') {
        want = BLANK;
    } else {
        char *end;
        errno = 0;
        value = std::strtoll(p, &end, 10);
        if (end == p)
            want = NO_NUMBER;
        else if (errno == ERANGE || value < 0 ||
                 static_cast<unsigned long long>(value) >
                     static_cast<unsigned long long>(std::numeric_limits<SLong>::max()))
            want = OUT_OF_RANGE;
        else
            want = PARSED;
    }
    if (verdict != want)
        std::abort();
    if (want == PARSED && got != static_cast<ULong>(value))
        std::abort();
    if (want != PARSED && got != 12345)
        std::abort(); // a refused text must leave N alone
    return 0;
}
