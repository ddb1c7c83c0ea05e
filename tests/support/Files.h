// A whole file as a string, for tests that compare bytes; a library as the
// sqlite3 tool reads it.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace quorvel::test_support {

inline std::string Slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What a command prints, errors included.
inline std::string PipeOutput(const std::string& command)
{
    std::string out;
    if (FILE* p = ::popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        while (std::fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
        ::pclose(p);
    }
    return out;
}

// What the sqlite3 command-line tool prints for `sql` on the file, as a shooter would query it.
inline std::string SqliteQuery(const std::filesystem::path& file, const std::string& sql)
{
    return PipeOutput("sqlite3 -separator '|' '" + file.string() + "' \"" + sql + "\"");
}

}  // namespace quorvel::test_support
