// Arbitrary bytes as a recording: the reader either rejects them with a
// reason or hands the analyser samples it measures, or suggests volumes
// for, without fault.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "Analyzer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<unsigned char> bytes(data, data + size);
    std::ostringstream out;
    std::ostringstream err;
    // The last byte picks the way in: live replay, the analysis search or suggested volumes.
    const auto mode = static_cast<quorvel::AnalyzeMode>(size > 0 ? data[size - 1] % 3 : 0);
    if (!quorvel::AnalyzeBytes("fuzz.wav", bytes, mode, out, err) && err.str().empty()) std::abort();
    return 0;
}
