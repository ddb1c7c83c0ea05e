// The ways a sound travels from its source to the microphone: the direct
// path and the mirrored sources of a shoebox room's surfaces (Allen and
// Berkley's image sources), each bounce scaling the pressure by its
// surface's coefficient and every path by one over its length. Outdoors the
// same with only the ground and the backstop present. Also the diffuse
// tail's strength from the room's size and reverberation time.
#pragma once

#include <vector>

#include "Scene.h"

namespace quorvel::range {

struct Path {
    double seconds = 0;  // travel time
    double gain = 0;     // pressure against 1 m from the source
    int soft = 0;        // bounces off surfaces that soak up highs
    int bounces = 0;
};

double Distance(const Vec3& a, const Vec3& b);

// The direct path first, then every reflection up to the scene's order.
std::vector<Path> Paths(const Scene& scene, const Vec3& source, const Vec3& mic);

// Energy of the diffuse tail at the microphone against the source's energy
// 1 m away: 1 / r_c^2, with the critical distance r_c = 0.057 sqrt(V / RT60).
double TailEnergyRatio(const Scene& scene);

}  // namespace quorvel::range
