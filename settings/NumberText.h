// The program's own way of reading and writing numbers.
// Every field, the settings file and the readouts read a number the same way
// (the number a text begins with, blanks ignored, "." as the only decimal point)
// and show it through "0"-place patterns such as "000.0". These helpers are
// the single place where that happens, so a velocity reads the same everywhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

// A short text that lives on the stack: the detector builds its label texts
// while recording, where nothing may be allocated.
template <std::size_t Capacity>
class FixedText {
public:
    FixedText() = default;
    FixedText(std::string_view text) { Append(text); }  // NOLINT: implicit on purpose
    FixedText& operator=(std::string_view text)
    {
        Clear();
        return Append(text);
    }

    void Clear() { length_ = 0; }
    FixedText& Append(std::string_view text)
    {
        for (char c : text) {
            if (length_ < Capacity) {
                chars_[length_++] = c;
            }
        }
        return *this;
    }
    std::string_view View() const { return {chars_.data(), length_}; }
    std::string Str() const { return std::string(View()); }
    bool Empty() const { return length_ == 0; }
    friend bool operator==(const FixedText& a, std::string_view b) { return a.View() == b; }

private:
    std::array<char, Capacity> chars_{};
    std::size_t length_ = 0;
};

using LabelText = FixedText<96>;

// Reads the number at the start of a text: blanks, tabs and line feeds are
// skipped wherever they stand, an optional sign, digits with one "." and an
// optional exponent (E or D) follow; reading stops at the first character
// that cannot continue the number. No number, or one of 1e250 or more or
// nearer 0 than 1e-200 (beyond what a settings value can write out in full),
// reads as 0. Locale-independent.
double ParseLeadingNumber(std::string_view text);

// Whole numbers for 16- and 32-bit fields: half to even (74.5 -> 74,
// 75.5 -> 76), clamped to the field's range; NaN gives 0.
std::int16_t RoundToInt16(double value);
std::int32_t RoundToInt32(double value);

// Int(): the largest whole number not above the value, clamped to 32 bits;
// NaN gives 0.
std::int32_t FloorToInt32(double value);

// A "0"-place pattern ("0", "000.0", "0.0000", ...): rounded to the places
// after the point, padded with zeros to the places before it, a "-" in front
// of a negative value; more integer digits than places are all shown.
// Rounding is half away from zero on the value's 15-significant-digit
// decimal form, so 1.005 shows as 1.01 in "0.00" the way it was typed; a
// value that rounds to zero shows no "-".
// Writes at most `capacity` characters and returns how many it wrote.
std::size_t FormatPatternTo(double value, std::string_view pattern, char* out, std::size_t capacity);
std::string FormatPattern(double value, std::string_view pattern);

// Appends a pattern-formatted number to a fixed text without allocating.
template <std::size_t N>
FixedText<N>& AppendPattern(FixedText<N>& text, double value, std::string_view pattern)
{
    std::array<char, 128> buffer{};
    const std::size_t n = FormatPatternTo(value, pattern, buffer.data(), buffer.size());
    return text.Append(std::string_view(buffer.data(), n));
}

// The general form used by the settings file and the panel fields: the
// shortest plain decimal text with up to 15 significant digits, no exponent,
// no trailing zeros, no point for whole numbers (400, 1.037, 0.3).
std::string GeneralNumber(double value);

// The shortest text that reads back to exactly the same double, for machine
// output such as the analyser's JSON.
std::string RoundTripNumber(double value);

}  // namespace quorvel
