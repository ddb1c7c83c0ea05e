#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "Analyzer.h"

int main(int argc, char** argv)
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path folder = ec ? std::filesystem::path(".") : exe.parent_path();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return quorvel::RunAnalyzer(args, (folder / "settings.ini").string(), std::cout, std::cerr);
}
