#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "NumberText.h"

using namespace quorvel;

TEST(NumberParse, ReadsTheLeadingNumberAndIgnoresBlanks)
{
    EXPECT_EQ(ParseLeadingNumber("12,5"), 12);
    EXPECT_EQ(ParseLeadingNumber("  1 2.5 m"), 12.5);
    EXPECT_EQ(ParseLeadingNumber("\t\n42x"), 42);
    EXPECT_EQ(ParseLeadingNumber("-3.5e2"), -350);
    EXPECT_EQ(ParseLeadingNumber("1D3"), 1000);
    EXPECT_EQ(ParseLeadingNumber("2.5E-1"), 0.25);
    EXPECT_EQ(ParseLeadingNumber("+7"), 7);
    EXPECT_EQ(ParseLeadingNumber(".5"), 0.5);
    EXPECT_EQ(ParseLeadingNumber("1.2.3"), 1.2);
    EXPECT_EQ(ParseLeadingNumber("1e"), 1);
    EXPECT_EQ(ParseLeadingNumber("1e+"), 1);
    EXPECT_EQ(ParseLeadingNumber("200 fps"), 200);
}

TEST(NumberParse, TextWithoutANumberIsZero)
{
    for (const char* text : {"", " ", "abc", "-", ".", "-.", "e5", "m/s 200", "1e999", "\r5"}) {
        EXPECT_EQ(ParseLeadingNumber(text), 0) << '"' << text << '"';
    }
}

TEST(NumberRounding, HalfToEvenAndClampedToTheField)
{
    EXPECT_EQ(RoundToInt16(74.5), 74);
    EXPECT_EQ(RoundToInt16(75.5), 76);
    EXPECT_EQ(RoundToInt16(-0.5), 0);
    EXPECT_EQ(RoundToInt16(-1.5), -2);
    EXPECT_EQ(RoundToInt16(99999), 32767);
    EXPECT_EQ(RoundToInt16(-99999), -32768);
    EXPECT_EQ(RoundToInt16(std::nan("")), 0);
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
    EXPECT_EQ(GeneralNumber(400), "400");
    EXPECT_EQ(GeneralNumber(1.037), "1.037");
    EXPECT_EQ(GeneralNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(GeneralNumber(10 * 3.2808 / 2), "16.404");
    EXPECT_EQ(GeneralNumber(1e-5), "0.00001");
    EXPECT_EQ(GeneralNumber(-2.5), "-2.5");
    EXPECT_EQ(GeneralNumber(0.0), "0");
    EXPECT_EQ(GeneralNumber(-0.0), "0");
    EXPECT_EQ(GeneralNumber(1e15), "1000000000000000");
    EXPECT_EQ(GeneralNumber(123456789012345678.0), "123456789012346000");
    EXPECT_EQ(GeneralNumber(96000), "96000");
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
