// What leaving a settings field does, free of any toolkit: the limits of
// its text, the values that go straight into the settings, and what else
// has to follow.
#pragma once

#include <cstddef>

#include "Settings.h"

namespace quorvel {

// What else has to happen after a field was left.
struct FieldLeave {
    bool applySampleRate = false;  // run the rate handler, which re-reads distance and limits
    bool redrawZoom = false;       // the analysis window's zoom view
    bool muzzleLevelLines = false; // the analysis window's muzzle level lines
    bool impactLevelLines = false;
};

// Applies the limits of field `index` to the panel texts (a replaced text is
// written as the plain number shown, and loses any exact value) and takes
// the values that go straight into the record. Distance and the velocity
// limits reach the record only through the rate handler.
FieldLeave LeaveField(std::size_t index, SettingsPanel& panel, Settings& record);

}  // namespace quorvel
