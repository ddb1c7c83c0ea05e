#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "NumberText.h"

using namespace quorvel;

TEST(NumberParse, ReadsTheLeadingNumberAndIgnoresBlanks)
{
    const std::pair<const char*, double> rows[] = {
        {"12,5", 12},     {"  1 2.5 m", 12.5}, {"\t\n42x", 42}, {"-3.5e2", -350}, {"1D3", 1000}, {"2.5E-1", 0.25},
        {"+7", 7},        {".5", 0.5},         {"1.2.3", 1.2},  {"1e", 1},        {"1e+", 1},    {"200 fps", 200},
        // Text without a number is 0.
        {"", 0},          {" ", 0},            {"abc", 0},      {"-", 0},         {".", 0},      {"-.", 0},
        {"e5", 0},        {"m/s 200", 0},      {"1e999", 0},    {"\r5", 0},
        // Too far from 1 to be written out in full in a settings file.
        {"5D\t\t 00260", 0}, {"-1e250", 0},    {"1e-201", 0},   {"9.9e249", 9.9e249},
    };
    for (const auto& [text, value] : rows) EXPECT_EQ(ParseLeadingNumber(text), value) << '"' << text << '"';
    EXPECT_EQ(ParseLeadingNumber(std::string_view("19", 1)), 1) << "a view is never read past its end";
}

TEST(NumberRounding, HalfToEvenAndClampedToTheField)
{
    const std::pair<double, int> to16[] = {{74.5, 74}, {75.5, 76}, {-0.5, 0}, {-1.5, -2}, {99999, 32767}, {-99999, -32768},
                                           {std::nan(""), 0}};
    for (const auto& [value, rounded] : to16) EXPECT_EQ(RoundToInt16(value), rounded) << value;
    EXPECT_EQ(RoundToInt32(44100.5), 44100);
    EXPECT_EQ(RoundToInt32(1e12), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(FloorToInt32(2400.9999), 2400);
    EXPECT_EQ(FloorToInt32(-0.5), -1);
    EXPECT_EQ(FloorToInt32(std::numeric_limits<double>::infinity()), std::numeric_limits<std::int32_t>::max());
}

TEST(NumberPattern, PadsRoundsAndSignsLikeTheReadouts)
{
    struct Case {
        double value;
        const char* pattern;
        const char* text;
    };
    const Case cases[] = {
        {2.5, "000.0", "002.5"},       {-2.5, "000.0", "-002.5"},   {12345.6, "000.0", "12345.6"},
        {1234.56, "0", "1235"},        {0.5, "0", "1"},              {2.5, "0", "3"},
        {-2.5, "0", "-3"},             {9.96, "0.0", "10.0"},        {99.95, "000.0", "100.0"},
        {1.005, "0.00", "1.01"},       {0.00004, "0.0000", "0.0000"}, {-0.04, "0.0", "0.0"},
        {1.0 / 96000 * 1000, "0.0000", "0.0104"}, {300, "0.00", "300.00"}, {5, "00", "05"},
        {4800, "00", "4800"},          {0, "000.0", "000.0"},        {0.049999, "0.0", "0.0"},
        {35.5, "000.0", "035.5"},      {1e20, "0", "100000000000000000000"},
        {653.0612244897959, "0.00", "653.06"}, {0.0226757369614512, "0.0000", "0.0227"},
        {199.95833333333334, "0.00", "199.96"}, {-0.0001, "0.00000", "-0.00010"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatPattern(c.value, c.pattern), c.text) << c.value << " in " << c.pattern;
}

TEST(NumberPattern, AppendsToFixedTextWithoutLosingCharacters)
{
    LabelText text("v=");
    AppendPattern(text, 210.04, "000.0").Append(" m/s ");
    EXPECT_EQ(text.View(), "v=210.0 m/s ");
    FixedText<4> tiny;
    tiny.Append("123456");
    EXPECT_EQ(tiny.View(), "1234");
}

TEST(GeneralNumber, ShortestPlainDecimal)
{
    const std::pair<double, const char*> rows[] = {
        {400, "400"}, {1.037, "1.037"}, {0.1 + 0.2, "0.3"}, {10 * 3.2808 / 2, "16.404"}, {1e-5, "0.00001"}, {-2.5, "-2.5"},
        {0.0, "0"},   {-0.0, "0"},      {1e15, "1000000000000000"}, {123456789012345678.0, "123456789012346000"},
    };
    for (const auto& [value, text] : rows) EXPECT_EQ(GeneralNumber(value), text) << value;
}

TEST(RoundTripNumber, ReadsBackToTheSameDouble)
{
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> any(-1e6, 1e6);
    for (int i = 0; i < 2000; ++i) {
        const double v = any(rng) / 3;
        EXPECT_EQ(std::strtod(RoundTripNumber(v).c_str(), nullptr), v);
    }
    EXPECT_EQ(RoundTripNumber(200), "200");
    EXPECT_EQ(RoundTripNumber(std::nan("")), "null");
}
