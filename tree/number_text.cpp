// atof / atoi over a character range, with a fast path for plain decimals.
#include "tree/number_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>

static bool isCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The exact powers of ten a double holds: 10^0 .. 10^22.
static const double exactPowers[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

static double realByStrtod(const char* begin, const char* end)
{
    const std::string text(begin, end);
    return std::strtod(text.c_str(), nullptr);
}

// Skips the white space that atof and atoi skip and an optional sign: s
// moves past them; returns where the number's text starts (at its sign).
static const char* skipBlanksAndSign(const char*& s, const char* end, bool& negative)
{
    while (s < end && isCSpace(*s))
        ++s;
    const char* numberStart = s;
    if (s < end && (*s == '+' || *s == '-')) {
        negative = *s == '-';
        ++s;
    }
    return numberStart;
}

// A decimal m * 10^e with m below 2^53 and |e| at most 22 is rounded
// correctly by one double multiplication or division (both operands exact),
// which is what strtod gives. Anything else (more digits, larger exponents,
// hexadecimal, infinity, NaN, no digits at all) takes strtod itself.
double parseReal(const char* begin, const char* end)
{
    const char* s = begin;
    bool negative = false;
    const char* numberStart = skipBlanksAndSign(s, end, negative);
    uint64_t mantissa = 0;
    int significant = 0;   // digits in mantissa, leading zeros not counted
    int digits = 0;        // all digits of the mantissa part
    int exponent = 0;      // power of ten applied to mantissa
    // Appends one digit to the mantissa (leading zeros are not significant).
    auto takeDigit = [&](char c) {
        if (mantissa != 0 || c != '0') {
            mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
            ++significant;
        }
        ++digits;
    };
    const char* integerStart = s;
    while (s < end && isDigit(*s))
        takeDigit(*s++);
    // "0x..." is hexadecimal for strtod.
    if (s < end && (*s == 'x' || *s == 'X') && s - integerStart == 1 && *integerStart == '0')
        return realByStrtod(numberStart, end);
    if (s < end && *s == '.') {
        ++s;
        while (s < end && isDigit(*s)) {
            takeDigit(*s++);
            --exponent;
        }
    }
    if (digits == 0 || significant > 19)
        return realByStrtod(numberStart, end);
    // An exponent counts only when at least one digit follows its sign.
    if (s < end && (*s == 'e' || *s == 'E')) {
        const char* e = s + 1;
        bool negativeExponent = false;
        if (e < end && (*e == '+' || *e == '-')) {
            negativeExponent = *e == '-';
            ++e;
        }
        if (e < end && isDigit(*e)) {
            int value = 0;
            while (e < end && isDigit(*e)) {
                if (value > 10000)
                    return realByStrtod(numberStart, end);
                value = value * 10 + (*e - '0');
                ++e;
            }
            exponent += negativeExponent ? -value : value;
        }
    }
    if (mantissa > (uint64_t(1) << 53) || exponent > 22 || exponent < -22) {
        if (mantissa == 0)
            return negative ? -0.0 : 0.0;
        return realByStrtod(numberStart, end);
    }
    double value = static_cast<double>(mantissa);
    value = exponent >= 0 ? value * exactPowers[exponent] : value / exactPowers[-exponent];
    return negative ? -value : value;
}

// atoi is (int) strtol(text, NULL, 10): up to 18 digits the value fits in
// 64 bits and is converted the same way; longer numbers take strtol (which
// clamps to the long range before the conversion to int).
int parseInt(const char* begin, const char* end)
{
    const char* s = begin;
    bool negative = false;
    const char* numberStart = skipBlanksAndSign(s, end, negative);
    int64_t value = 0;
    int digits = 0;
    while (s < end && isDigit(*s)) {
        if (++digits > 18) {
            const std::string text(numberStart, end);
            return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
        }
        value = value * 10 + (*s - '0');
        ++s;
    }
    return static_cast<int>(negative ? -value : value);
}
