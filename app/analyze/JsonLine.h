// One JSON object per line, keys in the order they are added: what the
// analyser prints for each shot, miss or suggestion.
#pragma once

#include <string>
#include <string_view>

#include "NumberText.h"

namespace quorvel {

inline std::string JsonString(std::string_view s)
{
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

class JsonLine {
public:
    JsonLine& Text(std::string_view key, std::string_view value) { return Raw(key, JsonString(value)); }
    JsonLine& Number(std::string_view key, double value) { return Raw(key, RoundTripNumber(value)); }
    JsonLine& Integer(std::string_view key, long long value) { return Raw(key, std::to_string(value)); }
    std::string Str() const { return "{" + body_ + "}"; }

private:
    JsonLine& Raw(std::string_view key, const std::string& value)
    {
        if (!body_.empty()) body_ += ',';
        body_ += JsonString(key) + ":" + value;
        return *this;
    }
    std::string body_;
};

}  // namespace quorvel
