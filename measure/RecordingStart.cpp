#include "RecordingStart.h"

#include <array>
#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>

namespace quorvel {

namespace {

// Days from 1 January 1970 of a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

constexpr long long kDaysFrom1899To1970 = 25569;

}  // namespace

std::optional<double> LocalDaysFromText(const std::string& text)
{
    std::array<long long, 6> parts{};
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < text.size() && count < parts.size()) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            if (std::string_view("-_:./ T").find(text[i]) == std::string_view::npos) return std::nullopt;
            ++i;
            continue;
        }
        long long value = 0;
        std::size_t digits = 0;
        for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 4; ++i, ++digits) {
            value = value * 10 + (text[i] - '0');
        }
        parts[count++] = value;
    }
    if (count < 3) return std::nullopt;
    const auto [y, mo, d, h, mi, s] = parts;
    if (y < 1900 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return std::nullopt;
    const long long days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) + kDaysFrom1899To1970;
    return static_cast<double>(days) + static_cast<double>(h * 3600 + mi * 60 + s) / 86400;
}

RecordingStart StartOf(const std::string& path, const AudioStream& stream)
{
    if (const auto days = LocalDaysFromText(stream.StartText())) return {*days, true};
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(path, ec);
    if (ec) return {};
    const auto system = std::chrono::file_clock::to_sys(written);
    const std::time_t t = std::chrono::system_clock::to_time_t(system);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) return {};
    const long long days = DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                                         static_cast<unsigned>(local.tm_mday)) + kDaysFrom1899To1970;
    return {static_cast<double>(days) + (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0, false};
}

}  // namespace quorvel
