#include "ShotDataFile.h"

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
    const auto failed = [&path](int error) { return "Cannot write the shot data file " + path + ": " + std::strerror(error); };
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return failed(errno);
    // A full disk can take part of the line: cut the file back to where it
    // was, so the next line never joins half of this one.
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    std::size_t done = 0;
    int error = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (error != 0 && sized) {
        [[maybe_unused]] const int cut = ::ftruncate(fd, before.st_size);
    }
    ::close(fd);
    return error == 0 ? std::string() : failed(error);
}

std::string WaveformFileName(double days)
{
    const CivilTime t = CivilTimeOf(days);
    char name[128];
    std::snprintf(name, sizeof name, "%04lld%02d%02d-%02d%02d%02d.wav", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return name;
}

}  // namespace quorvel
