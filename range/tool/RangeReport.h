// The range report: one line per session as it is measured, then the
// tables per kind of scene and per bucket of the impact's local
// signal-to-noise ratio, both methods side by side.
#pragma once

#include <string>
#include <vector>

#include "Scene.h"
#include "Scoring.h"

namespace quorvel::range {

struct SceneResult {
    Scene scene;
    std::string advice;
    int muzzleVolume = 0, impactVolume = 0;
    SessionScore threshold, onset;
    int otherGuns = 0;
    double meanSigmaUs = 0;
};

void PrintScene(const SceneResult& r);
void PrintTables(const std::vector<SceneResult>& results);

}  // namespace quorvel::range
