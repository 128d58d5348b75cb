// Differential fuzzing of a counter's standard-input reader (the program
// source is built in with its main renamed) against strtoll: the same
// verdict and value, and the input left just after the digits.
#define main program_main
#include TALLY_SOURCE
#undef main

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *in = fmemopen(const_cast<uint8_t *>(data), size, "r");
    if (!in)
        return 0;
    FILE *saved = stdin;
    stdin = in;
    int got = 777;
    int verdict = readBound(&got);
    int next = getchar();
    stdin = saved;
    fclose(in);

    // strtoll stops at a NUL, which the reader takes as any other junk
    // byte: compare on the text before it and treat the NUL as junk.
    std::string text(reinterpret_cast<const char *>(data), size);
    size_t nul = text.find('\0');
    bool hasNul = nul != std::string::npos;
    const char *p = text.c_str();
    while (isspace(static_cast<unsigned char>(*p)))
        ++p;
    int want;
    long long value = 0;
    const char *end = p;
    if (*p == '\0') {
        want = hasNul && static_cast<size_t>(p - text.c_str()) == nul ? NOT_A_NUMBER : NO_INPUT;
    } else {
        char *e;
        errno = 0;
        value = std::strtoll(p, &e, 10);
        end = e;
        if (e == p)
            want = NOT_A_NUMBER;
        else if (errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
            want = OUT_OF_RANGE;
        else
            want = READ_OK;
    }
    if (verdict != want)
        std::abort();
    if (want == READ_OK ? got != value : got != 777)
        std::abort();
    if (want == READ_OK || want == OUT_OF_RANGE) {
        size_t after = static_cast<size_t>(end - text.c_str());
        int expectNext = after < size ? static_cast<unsigned char>(data[after]) : EOF;
        if (next != expectNext)
            std::abort(); // the byte after the number must stay unread
    }
    return 0;
}
