// Differential fuzzing of a pool's argument reader (the program source is
// built in with its main renamed) against strtol: a whole decimal int with
// optional blanks before and a sign, or a refusal of the right kind.
#define main program_main
#include POOL_SOURCE
#undef main

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    const char *s = text.c_str(); // an argument ends at its first NUL

    int got = 777;
    int verdict = parseBound(s, &got);

    const char *p = s;
    while (isspace(static_cast<unsigned char>(*p)))
        ++p;
    const char *digits = (*p == '+' || *p == '-') ? p + 1 : p;
    int want;
    long long value = 0;
    if (!isdigit(static_cast<unsigned char>(*digits))) {
        want = NOT_A_NUMBER;
    } else {
        char *end;
        errno = 0;
        value = std::strtoll(p, &end, 10);
        if (*end != '\0')
            want = NOT_A_NUMBER;
        else if (errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
            want = OUT_OF_RANGE;
        else
            want = PARSED;
    }
    if (verdict != want)
        std::abort();
    if (want == PARSED ? got != value : got != 777)
        std::abort();
    return 0;
}
