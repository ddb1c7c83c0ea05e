// Strings as CSV for spreadsheets and plotting tools: a header row, then one
// row per shot with its string's name, gun and pellet, the local time with
// its offset, velocities and energy with their units and whether the shot
// is excluded. UTF-8, "." decimals whatever the locale, no thousands
// separators, fields quoted only where they must be (RFC 4180), CR LF.
#pragma once

#include <string>
#include <vector>

#include "StringFigures.h"

namespace quorvel {

std::string StringsCsv(const std::vector<StoredString>& strings, const ShownUnits& units);

// A field as CSV needs it: quoted, with quotes doubled, when it holds a
// comma, a quote or a line break.
std::string CsvField(const std::string& text);

}  // namespace quorvel
