// The PDF report of the selected strings: per string its details, the
// statistics with their confidence intervals, the plateau, the chart and the
// shot table; with two strings, the comparison in words. A4, or Letter where
// the locale measures in inches.
#pragma once

#include <string>
#include <vector>

#include "ShotLibrary.h"
#include "StringFigures.h"

namespace quorvel {

// Writes the report; "" or the reason it could not be written.
std::string WriteLibraryReport(const std::string& path, const std::vector<StoredString>& strings,
                               const ShownUnits& units, double plateauLimit);

}  // namespace quorvel
