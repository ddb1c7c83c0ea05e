#include "ShotDataFile.h"

#include "Clock.h"

#include "FileWrites.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "NumberText.h"

namespace quorvel {

std::string ShotDataPath(const std::string& datafilename, const std::string& programFolder)
{
    const std::string name = datafilename.empty() ? "shots.txt" : datafilename;
    if (name.find('/') != std::string::npos) return name;
    return programFolder + "/" + name;
}

std::string ShotDataLine(const ShotResult& shot, bool extended, const std::string& dateText, char decimalPoint)
{
    const auto number = [decimalPoint](double value, const char* pattern) {
        std::string text = FormatPattern(value, pattern);
        for (char& c : text) {
            if (c == '.') c = decimalPoint;
        }
        return text;
    };
    const std::string sep = " , ";
    std::string line = dateText + sep + std::to_string(shot.ShotNumber) + sep + number(shot.AvgVelocity, "0.00000");
    if (extended) {
        line += sep + number(shot.Distance, "0.00") + sep + number(shot.PelletMass, "0.0000") + sep +
                std::to_string(shot.MuzzleLevel) + sep + std::to_string(shot.ImpactLevel) + sep +
                std::to_string(shot.Samples) + sep + std::to_string(shot.SampleRate);
    }
    return line + "\r\n";
}

std::string AppendShotLine(const std::string& path, const std::string& line)
{
    const std::string error = AppendWhole(path, line);
    return error.empty() ? error : "Cannot write the shot data file " + path + ": " + error;
}

std::string WaveformFileName(double days)
{
    const CivilTime t = CivilTimeOf(days);
    char name[128];
    std::snprintf(name, sizeof name, "%04lld%02d%02d-%02d%02d%02d.wav", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return name;
}

}  // namespace quorvel
