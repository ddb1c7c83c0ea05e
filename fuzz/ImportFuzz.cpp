// Arbitrary shot data files: reading never fails, every line is either a
// shot or named as unread, and each shot lands in the string of its day
// with finite values.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "FuzzCheck.h"
#include "ShotDataImport.h"

using namespace quorvel;


extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Settings settings;
    settings.units = UnitSystemOf(size > 0 ? data[0] & 1 : 0);
    settings.RetainedVelocity = 90;
    settings.distance = 10;
    settings.pelletmass = 0.547;
    settings.frequency = 96000;
    const ImportedFile file = ReadShotDataFile(std::string_view(reinterpret_cast<const char*>(data), size), settings);
    int shots = 0;
    for (const StoredString& s : file.strings) {
        Check(!s.shots.empty());
        for (const StoredShot& shot : s.shots) {
            Check(shot.stringId == s.info.id);
            Check(shot.muzzleVelocity && std::isfinite(*shot.muzzleVelocity));
            Check(shot.averageVelocity && *shot.averageVelocity > 0);
            Check(std::isfinite(shot.distance) && std::isfinite(shot.pelletMass));
            ++shots;
        }
    }
    Check(shots == file.shots);
    return 0;
}
