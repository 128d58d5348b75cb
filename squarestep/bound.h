/*
 * Reading the listers' bound N from argv[1].
 */
#ifndef PRIMESUITE_SQUARESTEP_BOUND_H
#define PRIMESUITE_SQUARESTEP_BOUND_H

#include "squarestep.h"

#include <cctype>
#include <limits>

enum ParseResult { PARSED, NO_NUMBER, BLANK, OUT_OF_RANGE };

// Reads N as "%ld" does (leading blanks skipped, optional sign, digits, the
// rest ignored), but refuses what does not fit 0..LONG_MAX instead of
// wrapping it into a huge unsigned bound.
inline ParseResult parseBound(const char *s, ULong *n)
{
    const ULong maxLong = static_cast<ULong>(std::numeric_limits<SLong>::max());
    while (std::isspace(static_cast<unsigned char>(*s)))
        ++s;
    if (*s == '\0')
        return BLANK;
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = (*s++ == '-');
    if (!std::isdigit(static_cast<unsigned char>(*s)))
        return NO_NUMBER;
    ULong value = 0;
    bool tooBig = false;
    for (; std::isdigit(static_cast<unsigned char>(*s)); ++s) {
        ULong digit = static_cast<ULong>(*s - '0');
        if (value > (maxLong - digit) / 10)
            tooBig = true;
        else
            value = value * 10 + digit;
    }
    if (tooBig || (negative && value != 0))
        return OUT_OF_RANGE;
    *n = value;
    return PARSED;
}

#endif
