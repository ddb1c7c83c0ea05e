#include "ShotDataFile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
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
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return "Cannot write the shot data file " + path + ": " + std::strerror(errno);
    const ssize_t written = ::write(fd, line.data(), line.size());
    const int writeError = errno;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    if (written != static_cast<ssize_t>(line.size())) {
        return "Cannot write the shot data file " + path + ": " + std::strerror(written < 0 ? writeError : ENOSPC);
    }
    if (!synced) return "Cannot write the shot data file " + path + ": " + std::strerror(errno);
    return {};
}

std::string WaveformFileName(double days)
{
    const CivilTime t = CivilTimeOf(days);
    char name[128];
    std::snprintf(name, sizeof name, "%04lld%02d%02d-%02d%02d%02d.wav", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return name;
}

}  // namespace quorvel
