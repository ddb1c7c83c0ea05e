#include "RecordingStart.h"

#include <array>
#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>

#include "Clock.h"

namespace quorvel {


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
    // A date alone (a date tag) says nothing of the hour the shots were fired.
    if (count < 5) return std::nullopt;
    const auto [y, mo, d, h, mi, s] = parts;
    if (y < 1900 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return std::nullopt;
    return DaysOf(CivilTime{y, static_cast<int>(mo), static_cast<int>(d), static_cast<int>(h), static_cast<int>(mi),
                            static_cast<int>(s)});
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
    return {DaysOf(local), false};
}

}  // namespace quorvel
