#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace quorvel {

namespace {

bool IsSkippedBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value's magnitude as 15 significant decimal digits d0 d1 ... d14 and the
// power of ten of d0, so that |value| = d0.d1d2... x 10^exponent.
struct Decimal15 {
    std::array<char, 15> digits{};
    int exponent = 0;
};

Decimal15 ToDecimal15(double magnitude)
{
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "%.14e", magnitude);
    Decimal15 d;
    d.digits[0] = text[0];
    for (int i = 0; i < 14; ++i) {
        d.digits[static_cast<std::size_t>(i) + 1] = text[static_cast<std::size_t>(i) + 2];
    }
    d.exponent = std::atoi(text.data() + 17);
    return d;
}

class Writer {
public:
    Writer(char* out, std::size_t capacity) : out_(out), capacity_(capacity) {}
    void Put(char c)
    {
        if (length_ < capacity_) {
            out_[length_++] = c;
        }
    }
    void Put(std::string_view s)
    {
        for (char c : s) Put(c);
    }
    std::size_t Length() const { return length_; }

private:
    char* out_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

// The exponent that starts at text[i] ('e' or 'd', as old files write it,
// blanks allowed between its characters) as "e-12", or "" when there is
// none or it has no digits.
std::string ExponentAt(std::string_view text, std::size_t i)
{
    if (i >= text.size() || (text[i] != 'e' && text[i] != 'E' && text[i] != 'd' && text[i] != 'D')) return {};
    std::size_t j = i + 1;
    std::string exponent = "e";
    while (j < text.size() && IsSkippedBlank(text[j])) ++j;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
        exponent.push_back(text[j]);
        ++j;
    }
    bool expDigit = false;
    for (;; ++j) {
        while (j < text.size() && IsSkippedBlank(text[j])) ++j;
        if (j >= text.size() || !IsDigit(text[j])) break;
        exponent.push_back(text[j]);
        expDigit = true;
    }
    return expDigit ? exponent : std::string{};
}

}  // namespace

double ParseLeadingNumber(std::string_view text)
{
    // Gather the characters that make up the number, dropping the blanks
    // between them, then let from_chars do the exact conversion.
    std::string clean;
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && IsSkippedBlank(text[i])) ++i;
    };
    skipBlanks();
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool anyDigit = false;
    bool seenPoint = false;
    for (;; ++i) {
        skipBlanks();
        if (i >= text.size()) break;
        const char c = text[i];
        if (IsDigit(c)) {
            clean.push_back(c);
            anyDigit = true;
        } else if (c == '.' && !seenPoint) {
            clean.push_back('.');
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!anyDigit) return 0.0;
    clean += ExponentAt(text, i);
    double value = 0.0;
    const auto result = std::from_chars(clean.data(), clean.data() + clean.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow and underflow alike;
        // a tiny number is 0 anyway, a huge one cannot be a setting.
        return 0.0;
    }
    if (result.ec != std::errc() || !std::isfinite(value)) return 0.0;
    // Numbers this far from 1 have a plain written form longer than the 255
    // characters a value can have in the settings file: saved, they would
    // read back as another number. None can be a setting; they read as 0.
    if (value >= 1e250 || (value != 0 && value < 1e-200)) return 0.0;
    return negative ? -value : value;
}

namespace {
template <typename Int>
Int RoundHalfEvenClamped(double value)
{
    if (std::isnan(value)) return 0;
    constexpr double lo = static_cast<double>(std::numeric_limits<Int>::min());
    constexpr double hi = static_cast<double>(std::numeric_limits<Int>::max());
    if (value <= lo) return std::numeric_limits<Int>::min();
    if (value >= hi) return std::numeric_limits<Int>::max();
    // nearbyint rounds in the default mode, which is to nearest, ties to even.
    return static_cast<Int>(std::nearbyint(value));
}
}  // namespace

std::int16_t RoundToInt16(double value) { return RoundHalfEvenClamped<std::int16_t>(value); }
std::int32_t RoundToInt32(double value) { return RoundHalfEvenClamped<std::int32_t>(value); }

std::int32_t FloorToInt32(double value)
{
    if (std::isnan(value)) return 0;
    return RoundHalfEvenClamped<std::int32_t>(std::floor(value));
}

namespace {

// The digits of round(|value| x 10^fracPlaces), most significant first.
struct ScaledDigits {
    std::array<char, 400> digits{};
    int count = 0;
};

ScaledDigits Scaled(double magnitude, int fracPlaces)
{
    ScaledDigits s;
    auto& scaled = s.digits;
    int& count = s.count;
    const Decimal15 d = ToDecimal15(magnitude);
    const int top = d.exponent + fracPlaces;  // power of ten of d0 in the scaled value
    bool roundUp = false;
    if (top >= 14) {
        for (char c : d.digits) scaled[static_cast<std::size_t>(count++)] = c;
        for (int k = 14; k < top && count < static_cast<int>(scaled.size()) - 1; ++k) {
            scaled[static_cast<std::size_t>(count++)] = '0';
        }
    } else if (top >= 0) {
        for (int k = 0; k <= top; ++k) scaled[static_cast<std::size_t>(count++)] = d.digits[static_cast<std::size_t>(k)];
        roundUp = d.digits[static_cast<std::size_t>(top) + 1] >= '5';
    } else if (top == -1) {
        roundUp = d.digits[0] >= '5';
    }
    if (count == 0) scaled[static_cast<std::size_t>(count++)] = '0';
    if (roundUp) {
        int k = count - 1;
        while (k >= 0 && scaled[static_cast<std::size_t>(k)] == '9') {
            scaled[static_cast<std::size_t>(k--)] = '0';
        }
        if (k >= 0) {
            scaled[static_cast<std::size_t>(k)] += 1;
        } else {
            for (int m = count; m > 0; --m) scaled[static_cast<std::size_t>(m)] = scaled[static_cast<std::size_t>(m) - 1];
            scaled[0] = '1';
            ++count;
        }
    }
    return s;
}

}  // namespace

std::size_t FormatPatternTo(double value, std::string_view pattern, char* out, std::size_t capacity)
{
    Writer w(out, capacity);
    if (!std::isfinite(value)) {
        w.Put(std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf"));
        return w.Length();
    }
    int intPlaces = 0;
    int fracPlaces = 0;
    bool afterPoint = false;
    for (char c : pattern) {
        if (c == '.') {
            afterPoint = true;
        } else if (c == '0') {
            (afterPoint ? fracPlaces : intPlaces) += 1;
        }
    }
    const ScaledDigits s = Scaled(std::fabs(value), fracPlaces);
    const auto& scaled = s.digits;
    const int count = s.count;
    int first = 0;  // skip leading zeros of the scaled integer
    while (first < count - 1 && scaled[static_cast<std::size_t>(first)] == '0') ++first;
    bool isZero = true;
    for (int k = first; k < count; ++k) {
        if (scaled[static_cast<std::size_t>(k)] != '0') isZero = false;
    }

    const int significant = count - first;
    const int intDigits = significant > fracPlaces ? significant - fracPlaces : 0;
    if (value < 0 && !isZero) w.Put('-');
    for (int k = intDigits; k < intPlaces; ++k) w.Put('0');
    for (int k = 0; k < intDigits; ++k) w.Put(scaled[static_cast<std::size_t>(first + k)]);
    if (fracPlaces > 0) {
        w.Put('.');
        // Fraction digits: the last fracPlaces digits, zero-filled on the left.
        for (int k = fracPlaces; k > 0; --k) {
            const int index = count - k;
            w.Put(index >= first ? scaled[static_cast<std::size_t>(index)] : '0');
        }
    }
    return w.Length();
}

std::string FormatPattern(double value, std::string_view pattern)
{
    std::array<char, 512> buffer{};
    const std::size_t n = FormatPatternTo(value, pattern, buffer.data(), buffer.size());
    return std::string(buffer.data(), n);
}

std::string GeneralNumber(double value)
{
    if (!std::isfinite(value)) return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    if (value == 0.0) return "0";
    const Decimal15 d = ToDecimal15(std::fabs(value));
    int last = 14;
    while (last > 0 && d.digits[static_cast<std::size_t>(last)] == '0') --last;
    std::string text;
    if (value < 0) text.push_back('-');
    if (d.exponent >= 0) {
        for (int k = 0; k <= d.exponent; ++k) text.push_back(k <= last ? d.digits[static_cast<std::size_t>(k)] : '0');
        if (last > d.exponent) {
            text.push_back('.');
            for (int k = d.exponent + 1; k <= last; ++k) text.push_back(d.digits[static_cast<std::size_t>(k)]);
        }
    } else {
        text += "0.";
        text.append(static_cast<std::size_t>(-d.exponent - 1), '0');
        for (int k = 0; k <= last; ++k) text.push_back(d.digits[static_cast<std::size_t>(k)]);
    }
    return text;
}

std::string RoundTripNumber(double value)
{
    if (!std::isfinite(value)) return "null";
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

}  // namespace quorvel
