// The detection methods by the names the settings file and the analyser's
// --method use: `threshold` (the first sample past a fixed volume, as
// Quorvel has always measured) and `onset` (where each sound starts).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvel {

enum class DetectionMethod : std::uint8_t { Threshold, Onset };

inline std::string_view MethodName(DetectionMethod method) { return method == DetectionMethod::Onset ? "onset" : "threshold"; }

inline std::optional<DetectionMethod> MethodFromName(std::string_view name)
{
    if (name == "threshold") return DetectionMethod::Threshold;
    if (name == "onset") return DetectionMethod::Onset;
    return std::nullopt;
}

}  // namespace quorvel
