#include "ImportJob.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quorvel {

namespace {
// A shot data file holds about 40 bytes a shot; this is far beyond any.
constexpr std::uintmax_t kLargestShotDataFile = 64u << 20;
}  // namespace

std::string ShotDataFileProblem(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return "it is no file of shots (not a regular file)";
    if (std::filesystem::file_size(path, ec) > kLargestShotDataFile) return "it is far too large for a shot data file";
    return {};
}

ImportJob::ImportJob(std::string libraryPath, std::string filePath, const Settings& settings)
    : thread_([this, libraryPath = std::move(libraryPath), filePath = std::move(filePath), settings] {
          Run(libraryPath, filePath, settings);
      })
{
}

ImportJob::~ImportJob()
{
    Cancel();
    if (thread_.joinable()) thread_.join();
}

void ImportJob::Run(const std::string& libraryPath, const std::string& filePath, const Settings& settings)
{
    std::ifstream in(filePath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && !in.eof()) {
        outcome_.problem = "Cannot read " + filePath + ".";
    } else {
        outcome_.file = ReadShotDataFile(text.str(), settings);
        progress_.total = outcome_.file.shots;
        ShotLibrary library;
        const ShotLibrary::Opened opened = library.Open(libraryPath, false);
        sql::Result<int> added;
        if (opened.status == ShotLibrary::Status::Ok) added = library.Import(outcome_.file.strings, &progress_);
        outcome_.cancelled = progress_.cancel;
        outcome_.added = added.value;
        if (opened.status != ShotLibrary::Status::Ok) {
            outcome_.problem = opened.message + " Nothing was imported.";
        } else if (added.error && !outcome_.cancelled) {
            outcome_.problem = "Cannot import into " + libraryPath + ": " + added.error->message + ". Nothing was imported.";
        }
    }
    done_ = true;
}

}  // namespace quorvel
