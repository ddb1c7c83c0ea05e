#include "AboutText.h"

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
           "  saved waveforms: " + facts.waveformFolder + "\n\n"
           "To report a problem: start quorvel from a terminal, do again what went wrong, and send the lines it "
           "printed together with the settings file and, for a wrong measurement, the shot's waveform "
           "(Save As in the analysis window) to the Quorvel developers. The README's \"Reporting a problem\" "
           "says more.";
}

}  // namespace quorvel
