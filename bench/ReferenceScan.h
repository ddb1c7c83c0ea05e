// The benchmark's reference: the block scan written the plain way, one
// sample at a time, reading the clock for every sample. The benchmark
// measures how much faster the engine's scan is; the detector's tests use it
// as the oracle the engine's scan must agree with on any input.
#pragma once

#include <cstdlib>

#include "NumberText.h"
#include "ThresholdDetector.h"

namespace quorvel::reference {

inline ScanResult BlockLookTriggers(DetectionState& st, const std::uint8_t* a, int block, std::int16_t muzzleVolume,
                                    std::int16_t impactVolume, Clock& clock)
{
    ScanResult result;
    const int first = BlockStart(block);
    const int last = first + kBlockSize - 1;
    for (int i = first; i <= last; ++i) {
        const int dev = std::abs(127 - static_cast<int>(a[i]));
        const double now = clock.NowMs();
        if ((!st.LastMuzzleTime || now - *st.LastMuzzleTime > kMuzzleHoldOffMs) && !st.MuzzleArmed && dev > muzzleVolume) {
            st.MuzzlePos = i;
            st.MuzzleArmed = true;
            st.ImpactPos = 0;
            st.SamplesSinceMuzzle = 0;
            result.status = ScanStatus::MuzzleSeen;
            st.LastMuzzleTime = RoundToInt32(clock.NowMs());
        }
        if (st.MuzzleArmed) {
            if (st.WindowStart <= st.SamplesSinceMuzzle && st.SamplesSinceMuzzle <= st.WindowEnd && dev > impactVolume) {
                st.ImpactPos = i;
                st.ShotSamples = static_cast<std::int32_t>(st.SamplesSinceMuzzle);
                st.SamplesSinceMuzzle = 0;
                result.status = ScanStatus::Shot;
                return result;
            }
            if (st.SamplesSinceMuzzle > st.WindowEnd) {
                result.muzzlePos = st.MuzzlePos;
                st.MuzzlePos = 0;
                st.MuzzleArmed = false;
                st.SamplesSinceMuzzle = 0;
                result.status = ScanStatus::NoImpact;
                return result;
            }
        }
        st.SamplesSinceMuzzle += 1;
    }
    if (st.SamplesSinceMuzzle > 1000000 && !st.MuzzleArmed) st.SamplesSinceMuzzle = 0;
    return result;
}

}  // namespace quorvel::reference
