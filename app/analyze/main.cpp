#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "Analyzer.h"
#include "Locations.h"

int main(int argc, char** argv)
{
    // The settings quorvel itself uses; a user who never started it
    // measures with the shipped ones, and nothing is created for them.
    const quorvel::FileLocations where = quorvel::LocateFiles(quorvel::CurrentEnvironment(""));
    std::error_code ec;
    const bool made = std::filesystem::exists(where.settingsFile, ec);
    const std::string settings = made || where.layout != quorvel::Layout::PerUser ? where.settingsFile : where.shippedSettings;
    const std::vector<std::string> args(argv + 1, argv + argc);
    return quorvel::RunAnalyzer(args, settings, std::cout, std::cerr);
}
