// Where the shooter's files live. A settings.ini beside the program (the
// build folder, a portable copy) is used as it always was, with the shot data
// and waveforms beside it. Otherwise each user has their own settings in
// $XDG_CONFIG_HOME/quorvel/ (made from the shipped file on the first start)
// and their data in $XDG_DATA_HOME/quorvel/. `--settings PATH` names the file
// outright; its data then lies beside it.
#pragma once

#include <functional>
#include <string>

namespace quorvel {

struct Environment {
    std::string programFolder;  // where the executable is
    std::string home;           // $HOME
    std::string configHome;     // $XDG_CONFIG_HOME, "" when unset
    std::string dataHome;       // $XDG_DATA_HOME, "" when unset
    std::string explicitSettings;  // --settings, "" when not given
};

enum class Layout { Portable, PerUser, Explicit };

struct FileLocations {
    Layout layout = Layout::Portable;
    std::string settingsFile;
    std::string dataFolder;     // the shot data file and waveforms, unless datafilename names a path
    std::string shippedSettings;  // the file a per-user one is made from
};

// Works out the locations; no file is touched.
FileLocations LocateFiles(const Environment& env);

// Makes sure the per-user folders and settings file exist, copying the
// shipped file on the first start. Returns "" or a message naming what could
// not be made; an existing file is never overwritten.
std::string PrepareFiles(const FileLocations& where);

// The environment of this process, with the executable's folder.
Environment CurrentEnvironment(const std::string& explicitSettings);

}  // namespace quorvel
