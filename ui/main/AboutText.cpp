#include "AboutText.h"

#include <QFileInfo>
#include <QUrl>

namespace quorvel {

const char* QuorvelVersion() { return QUORVEL_VERSION; }

std::string AboutText(const AboutFacts& facts)
{
    return std::string("Quorvel ") + QUORVEL_VERSION +
           "\nMeasures the velocity of air-gun pellets with a microphone.\n\n"
           "Licence: MIT. Quorvel comes with no warranty.\n\n"
           "Your files:\n"
           "  settings: " + facts.settingsFile + "\n"
           "  shot data file: " + facts.shotDataFile + "\n"
           "  saved waveforms: " + facts.waveformFolder + "\n"
           "  shot library: " + facts.libraryFile + "\n\n"
           "To report a problem: start quorvel from a terminal, do again what went wrong, and report it at " +
           QUORVEL_BUGS + " with the lines it printed, the settings file and, for a wrong measurement, the shot's "
           "waveform (Save As in the analysis window). The README's \"Reporting a problem\" says more.";
}

}  // namespace quorvel

namespace quorvel {

void OpenReadme(Dialogs& dialogs, Shell& shell, const std::string& readme)
{
    if (readme.empty() || !QFileInfo::exists(QString::fromStdString(readme))) {
        dialogs.Critical("Error", "The README that comes with Quorvel was not found beside the program.");
        return;
    }
    if (!shell.OpenUrl(QUrl::fromLocalFile(QString::fromStdString(readme)).toString().toStdString())) {
        dialogs.Critical("Error", "The desktop found no program to open the README with (xdg-open, from the "
                                  "package xdg-utils, does that). It is the file " + readme + ".");
    }
}

}  // namespace quorvel
