#include "WaveBytes.h"

#include <fstream>

namespace quorvel::range {

namespace {

void Put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int k = 0; k < bytes; ++k) out.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
}

void Put(std::vector<std::uint8_t>& out, const char* tag)
{
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(tag[k]));
}

}  // namespace

std::vector<std::uint8_t> WaveBytes(std::span<const std::uint8_t> samples, int rate)
{
    const auto size = static_cast<std::uint32_t>(samples.size());
    std::vector<std::uint8_t> out;
    out.reserve(samples.size() + 44);
    Put(out, "RIFF");
    Put(out, 36 + size + (size & 1), 4);
    Put(out, "WAVE");
    Put(out, "fmt ");
    Put(out, 16, 4);
    Put(out, 1, 2);  // PCM
    Put(out, 1, 2);  // mono
    Put(out, static_cast<std::uint32_t>(rate), 4);
    Put(out, static_cast<std::uint32_t>(rate), 4);
    Put(out, 1, 2);
    Put(out, 8, 2);
    Put(out, "data");
    Put(out, size, 4);
    out.insert(out.end(), samples.begin(), samples.end());
    if (size & 1) out.push_back(0);
    return out;
}

bool WriteFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

}  // namespace quorvel::range
