#include "Room.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace quorvel::range {

namespace {

// One axis of the mirrored positions: the coordinate and the bounces off
// the low and the high surface.
struct AxisImage {
    double coordinate;
    int low, high;
};

std::vector<AxisImage> AxisImages(double source, double length, int order)
{
    std::vector<AxisImage> images;
    for (int i = -order; i <= order; ++i) {
        for (int p = 0; p <= 1; ++p) {
            const int low = std::abs(i - p);
            const int high = std::abs(i);
            if (low + high > order) continue;
            images.push_back({(1 - 2 * p) * source + 2 * i * length, low, high});
        }
    }
    return images;
}

// Pressure factor and soft bounces of `count` bounces off `wall`, or false
// when the wall is absent.
bool Bounce(const Scene& scene, std::size_t wall, int count, double& gain, int& soft)
{
    if (count == 0) return true;
    if (scene.reflection[wall] <= 0) return false;
    gain *= std::pow(scene.reflection[wall], count);
    if (scene.soft[wall]) soft += count;
    return true;
}

}  // namespace

double Distance(const Vec3& a, const Vec3& b) { return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z); }

std::vector<Path> Paths(const Scene& scene, const Vec3& source, const Vec3& mic)
{
    const double c = SpeedOfSound(scene.temperature);
    const auto xs = AxisImages(source.x, scene.size.x, scene.maxOrder);
    const auto ys = AxisImages(source.y, scene.size.y, scene.maxOrder);
    const auto zs = AxisImages(source.z, scene.size.z, scene.maxOrder);
    std::vector<Path> paths;
    const double direct = std::max(Distance(source, mic), 0.05);
    paths.push_back({direct / c, 1 / direct, 0, 0});
    for (const AxisImage& x : xs) {
        for (const AxisImage& y : ys) {
            for (const AxisImage& z : zs) {
                const int bounces = x.low + x.high + y.low + y.high + z.low + z.high;
                if (bounces == 0 || bounces > scene.maxOrder) continue;
                double gain = 1;
                int soft = 0;
                if (!Bounce(scene, kBehindGun, x.low, gain, soft) || !Bounce(scene, kBackstop, x.high, gain, soft) ||
                    !Bounce(scene, kSideNear, y.low, gain, soft) || !Bounce(scene, kSideFar, y.high, gain, soft) ||
                    !Bounce(scene, kFloor, z.low, gain, soft) || !Bounce(scene, kCeiling, z.high, gain, soft)) {
                    continue;
                }
                const double r = Distance({x.coordinate, y.coordinate, z.coordinate}, mic);
                paths.push_back({r / c, gain / r, soft, bounces});
            }
        }
    }
    return paths;
}

double TailEnergyRatio(const Scene& scene)
{
    if (scene.rt60 <= 0) return 0;
    const double volume = scene.size.x * scene.size.y * scene.size.z;
    const double critical = 0.057 * std::sqrt(volume / scene.rt60);
    return scene.tailScale / (critical * critical);
}

}  // namespace quorvel::range
