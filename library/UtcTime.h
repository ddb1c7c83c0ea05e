// The library keeps times as ISO 8601 UTC text ("2026-12-06T21:04:05Z"), so
// that a query sorts them and no daylight-saving change makes two shots the
// same moment; the program measures in local days since 30 December 1899.
// These turn one into the other, through the system's time zone.
#pragma once

#include <optional>
#include <string>

namespace quorvel {

std::string UtcIsoFromLocalDays(double localDays);
// Seconds since 1970 of an ISO 8601 UTC text; nothing for anything else.
std::optional<long long> ParseUtcIso(const std::string& utc);
// "2026-12-06T22:04:05+01:00": local time with its offset, for exports.
std::string LocalIsoWithOffset(const std::string& utc);
// "2026-12-06 22:04:05": local time as the windows show it.
std::string LocalTimeText(const std::string& utc);

}  // namespace quorvel
