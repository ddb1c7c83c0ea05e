// The settings most tests measure with: 10 m to the target, 50-400 m/s,
// 90 % retained velocity, trigger volumes 60 and 30, 96000 samples/s.
#pragma once

#include "Settings.h"

namespace quorvel::test_support {

inline Settings TenMetres()
{
    Settings s;
    s.distance = 10;
    s.VelocityMin = 50;
    s.VelocityMax = 400;
    s.RetainedVelocity = 90;
    s.offset = 0;
    s.pelletmass = 0.547;
    s.MuzzleVolume = 60;
    s.ImpactVolume = 30;
    s.frequency = 96000;
    return s;
}

}  // namespace quorvel::test_support
