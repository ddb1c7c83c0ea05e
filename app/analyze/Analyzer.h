// quorvel-analyze: the live engine and detector run over recordings, for
// re-analysing shots in batch and for testing the measuring path end to end.
// "live" replays a file through the capture ring block by block exactly as a
// recording; "analysis" searches the first five blocks as the analysis window
// does. One JSON object per line on the output.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quorvel {

// Runs the analyser with its command-line arguments (without the program
// name). `defaultSettings` is the settings.ini beside the executable.
// Returns the exit status: 0, or 2 when the settings or a file could not be read.
int RunAnalyzer(const std::vector<std::string>& args, const std::string& defaultSettings, std::ostream& out,
                std::ostream& err);

enum class AnalyzeMode { Live, Analysis, SuggestLevels };

// Analyses the bytes of one recording as a file named `name` with the
// shipped settings; the fuzzer's way in. The replay ends with the bytes (no
// window run out in silence after them, which a header claiming an absurd
// rate would make long). Returns false when they are not a readable recording.
bool AnalyzeBytes(const std::string& name, const std::vector<unsigned char>& bytes, AnalyzeMode mode, std::ostream& out,
                  std::ostream& err);

}  // namespace quorvel
