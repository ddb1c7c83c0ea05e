// The About box's text: what Quorvel is, its version and licence, where the
// shooter's files are, and how to report a problem so that it can be found.
#pragma once

#include <string>

#include "Dialogs.h"
#include "Shell.h"

namespace quorvel {

struct AboutFacts {
    std::string settingsFile;
    std::string shotDataFile;
    std::string waveformFolder;
    std::string libraryFile;
};

std::string AboutText(const AboutFacts& facts);

// The README shipped with the program, in the desktop's viewer; a message
// when it is missing or nothing can show it.
void OpenReadme(Dialogs& dialogs, Shell& shell, const std::string& readme);

// The version the build was made from, as `quorvel --version` prints it.
const char* QuorvelVersion();

}  // namespace quorvel
