// quorvel-analyze's command line: what to measure, how, and where it goes.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Analyzer.h"
#include "DetectionMethod.h"

namespace quorvel {

inline constexpr const char* kUsage =
    "usage: quorvel-analyze [--settings PATH] [--method threshold|onset] [--calibration FILE] [--mode live|analysis]\n"
    "                       [--library PATH [--string NAME]] FILE...\n"
    "       quorvel-analyze [--settings PATH] --suggest-levels FILE...\n"
    "       quorvel-analyze [--settings PATH] --dump-settings\n"
    "       quorvel-analyze --help | --version\n"
    "Measures the shots in recordings with Quorvel's detector; one JSON line per shot or miss.\n"
    "  --settings PATH   the settings to measure with (default: the ones quorvel uses)\n"
    "  --method M        threshold (the first sample past the volumes) or onset (where the sounds begin);\n"
    "                    overrides the settings' [measuring] method\n"
    "  --calibration F   a recording of the calibration shot: the onset method learns the report from it\n"
    "  --mode live       replay each file block by block as a recording (the default)\n"
    "  --mode analysis   search the first 144000 samples once, as the analysis window does\n"
    "  --library PATH    store what live replay measures in this shot library too\n"
    "  --string NAME     store every file in one string of that name (default: a string per file)\n"
    "  --suggest-levels  suggest muzzle and impact volumes from each file's first 144000 samples\n"
    "  --dump-settings   print the loaded settings as JSON and exit";

struct Options {
    std::string settingsPath;
    std::optional<DetectionMethod> method;
    std::string calibration;
    AnalyzeMode mode = AnalyzeMode::Live;
    bool modeGiven = false;
    bool suggest = false;
    bool dump = false;
    std::string library;
    std::string stringName;
    std::vector<std::string> files;
};

// The options, or the exit status when there is nothing to measure.
std::optional<int> ReadOptions(const std::vector<std::string>& args, Options& o, std::ostream& out, std::ostream& err);

}  // namespace quorvel
