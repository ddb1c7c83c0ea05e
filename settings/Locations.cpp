#include "Locations.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "IniFile.h"

namespace quorvel {

namespace fs = std::filesystem;

namespace {

std::string Folder(const std::string& set, const std::string& home, const char* fallback)
{
    // As the XDG folder rules have it: an unset or relative value is ignored.
    if (!set.empty() && set.front() == '/') return set;
    return home + "/" + fallback;
}

}  // namespace

FileLocations LocateFiles(const Environment& env)
{
    FileLocations where;
    where.shippedSettings = env.programFolder + "/../share/quorvel/settings.ini";
    if (!env.explicitSettings.empty()) {
        where.layout = Layout::Explicit;
        where.settingsFile = env.explicitSettings;
        const fs::path parent = fs::path(env.explicitSettings).parent_path();
        where.dataFolder = parent.empty() ? "." : parent.string();
        return where;
    }
    const std::string beside = env.programFolder + "/settings.ini";
    std::error_code ec;
    if (fs::exists(beside, ec)) {
        where.layout = Layout::Portable;
        where.settingsFile = beside;
        where.dataFolder = env.programFolder;
        return where;
    }
    where.layout = Layout::PerUser;
    where.settingsFile = Folder(env.configHome, env.home, ".config") + "/quorvel/settings.ini";
    where.dataFolder = Folder(env.dataHome, env.home, ".local/share") + "/quorvel";
    return where;
}

std::string PrepareFiles(const FileLocations& where)
{
    if (where.layout != Layout::PerUser) return {};
    std::error_code ec;
    for (const fs::path& folder : {fs::path(where.settingsFile).parent_path(), fs::path(where.dataFolder)}) {
        fs::create_directories(folder, ec);
        if (ec || !fs::is_directory(folder)) {
            return "Cannot make the folder " + folder.string() + ": " + (ec ? ec.message() : "a file is in the way");
        }
    }
    if (fs::exists(fs::symlink_status(where.settingsFile, ec))) return {};  // kept, whatever it is
    std::ifstream shipped(where.shippedSettings, std::ios::binary);
    if (!shipped) return "Cannot read the shipped settings " + where.shippedSettings + ": " + std::strerror(errno);
    std::ostringstream text;
    text << shipped.rdbuf();
    const std::string failure = WriteFileAtomically(where.settingsFile, text.str());
    if (!failure.empty()) return "Cannot make your settings file " + where.settingsFile + ": " + failure;
    return {};
}

Environment CurrentEnvironment(const std::string& explicitSettings)
{
    const auto get = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr ? std::string(value) : std::string();
    };
    Environment env;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    env.programFolder = ec ? std::string(".") : exe.parent_path().string();
    env.home = get("HOME");
    env.configHome = get("XDG_CONFIG_HOME");
    env.dataHome = get("XDG_DATA_HOME");
    env.explicitSettings = explicitSettings;
    return env;
}

}  // namespace quorvel
