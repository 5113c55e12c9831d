// The field conversions behave as atof and atoi on the same text.
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tree/number_text.h"

static void expectSameAsLibrary(const std::string& text)
{
    // The range is followed by other text, as in a line buffer: the
    // conversion must stop at the range's end.
    const std::string buffer = text + "9e9\n7";
    const double real = parseReal(buffer.data(), buffer.data() + text.size());
    const double expected = std::atof(text.c_str());
    if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(real)) << '"' << text << '"';
    else
        EXPECT_EQ(std::memcmp(&real, &expected, sizeof real), 0)
            << '"' << text << "\" gives " << real << ", atof " << expected;
    EXPECT_EQ(parseInt(buffer.data(), buffer.data() + text.size()), std::atoi(text.c_str()))
        << '"' << text << '"';
}

TEST(NumberText, ChosenCases)
{
    const char* cases[] = {"", " ", "0", "-0", "+0", "1", "-1", "  42", "\t\n\v\f\r7", "3.25",
                           "-.5", ".5", "5.", ".", "-", "+", "+-1", "1e5", "1E-5", "1e", "1e+",
                           "1e-", "2.5e3x", "12abc", "abc", "x12", "0x1p3", "0X10", "-0x1.8p1",
                           "00x1", "inf", "-Infinity", "nan", "NaN(123)", "1.7976931348623157e308",
                           "1e309", "-1e309", "4.9e-324", "1e-400", "0.1", "0.2", "0.3",
                           "123456789012345678", "1234567890123456789", "12345678901234567890",
                           "9007199254740993", "9007199254740992", "0.000000000000000000000001",
                           "100000000000000000000000", "1e22", "1e23", "3.14159265358979323846",
                           "2147483647", "2147483648", "-2147483649", "99999999999999999999",
                           "-9223372036854775809", "0e999999", "1e99999999999", "5 6", "7,5",
                           "1.5.5", "--1", "0000000000000000000000012.5", "1_000", "٣"};
    for (const char* text : cases)
        expectSameAsLibrary(text);
}

TEST(NumberText, RandomTexts)
{
    // Random strings over the characters numbers are made of, and random
    // well-formed decimals of every length.
    std::mt19937 random(12345);
    const std::string alphabet = "0123456789.+-eE xXpPinfa\t";
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const int length = static_cast<int>(random() % 12);
        for (int k = 0; k < length; ++k)
            text += alphabet[random() % alphabet.size()];
        expectSameAsLibrary(text);
    }
    for (int i = 0; i < 20000; ++i) {
        std::string text = (random() % 2) ? "-" : "";
        const int before = static_cast<int>(random() % 22), after = static_cast<int>(random() % 22);
        for (int k = 0; k < before; ++k)
            text += static_cast<char>('0' + random() % 10);
        if (random() % 2) {
            text += '.';
            for (int k = 0; k < after; ++k)
                text += static_cast<char>('0' + random() % 10);
        }
        if (random() % 3 == 0)
            text += "e" + std::to_string(static_cast<int>(random() % 80) - 40);
        expectSameAsLibrary(text);
    }
}
