// What a measured shot shows in the main window and sets off for the next
// block, worked out without a window.
#include <gtest/gtest.h>

#include "ShotView.h"
#include "support/TestSettings.h"

using namespace quorvel;

namespace {
constexpr double kT96 = 1.0 / 96000 * 1000;

Detection ShotAt(double muzzle, double samples)
{
    Detection d;
    d.kind = Detection::Kind::Shot;
    d.muzzle = muzzle;
    d.impact = muzzle + samples;
    d.samples = samples;
    return d;
}
}  // namespace

TEST(ShotView, A4800SampleShotAt96kHzIs200MetresPerSecond)
{
    Settings s = test_support::TenMetres();
    MeasuredShot shot = MeasureDetection(ShotAt(kRingSamples + 1000, 4800), DetectionMethod::Threshold, s, kT96, 46000.5);
    shot.result.ShotNumber = 1;
    const ShotResult& r = shot.result;
    EXPECT_EQ((std::array<double, 8>{r.AvgVelocity, r.MuzzleVelocity, static_cast<double>(r.Samples), r.ShotTime,
                                     static_cast<double>(r.SampleRate), static_cast<double>(r.MuzzleLevel),
                                     static_cast<double>(r.ImpactLevel), r.Distance}),
              (std::array<double, 8>{200, 210, 4800, 46000.5, 96000, 60, 30, 10}));
    const ShotView v = ViewOf(ShotAt(kRingSamples + 1000, 4800), &shot, Switches{}, s, kT96, " m/s ");
    EXPECT_TRUE(v.muzzleBoxRed && v.impactBoxRed && v.startTrigLineTimer && v.showLabels);
    EXPECT_EQ(std::make_pair(v.muzzleLine, v.impactLine), std::make_pair(1000, 5800)) << "ring indexes, the second time round";
    EXPECT_EQ(v.labels.averageVelocity.View(), "200.0  m/s ");
    EXPECT_EQ(v.labels.elapsedSamples.View(), "4800  = 50.0000 ms");
    EXPECT_EQ(v.labels.resolution.View(), "0.0104 ms");
    EXPECT_EQ(v.labels.accuracy.View(), "200.04 - 199.96 m/s ");
    EXPECT_EQ(v.labels.shotNumber.View(), "1");
    EXPECT_EQ(v.pending, PendingAction::None);

    // Timed between samples: the samples to two places, the accuracy as one SD of the velocity.
    Detection between = ShotAt(1000.25, 4800.5);
    between.sigma = 2.4;
    const MeasuredShot onset = MeasureDetection(between, DetectionMethod::Onset, s, kT96, 46000.5);
    const ShotView o = ViewOf(between, &onset, Switches{}, s, kT96, " m/s ");
    EXPECT_EQ(o.labels.elapsedSamples.View(), "4800.50  = 50.0052 ms");
    EXPECT_EQ(o.labels.accuracy.View(), "± 0.10 m/s ");
    EXPECT_NEAR(onset.VelocitySigma(), 199.98 * 2.4 / 4800.5, 0.01);

    s.RetainedVelocity = 100;
    s.offset = 2.5;
    EXPECT_EQ(MeasureShot(4800, s, kT96).MuzzleVelocity, 202.5);
    EXPECT_EQ(WindowCaption(CalcTriggerWindow(10, 50, 400, kT96)), "Window: T+25.0000 - 200.0000 ms\n                T+ 2400 - 19200 samples");
}

// Which switches make the next block save, freeze, or both, and what a
// miss or a shot too close to its muzzle shows.
TEST(ShotView, WhatAShotSetsOffForTheNextBlock)
{
    struct Row {
        const char* what;
        std::vector<Switch> on;
        double velocityMax;
        double samples;  // 0: the muzzle times out
        ShotOutcome outcome;
        const char* notice;
        const char* caption;
        int freezeSwitch;
        PendingAction pending;
        bool followsShot;
    };
    const Row rows[] = {
        {"autosave only", {Switch::AutoSave}, 400, 4800, ShotOutcome::Shot, "", "", -1, PendingAction::Autosave, true},
        {"freeze and save a shot", {Switch::AutoSave, Switch::FreezeIfDetected}, 400, 4800, ShotOutcome::Shot, "",
         "Analyze - Shot detected", 0, PendingAction::Freeze, true},
        {"200 m/s is at the maximum", {Switch::AutoSave, Switch::FreezeIfMaxExceeded}, 200, 4800, ShotOutcome::Shot,
         "Max. Velocity", "Analyze - Max velocity exceeded", 2, PendingAction::Freeze, true},
        {"under the maximum nothing freezes", {Switch::FreezeIfMaxExceeded}, 201, 4800, ShotOutcome::Shot, "", "", -1,
         PendingAction::None, true},
        {"a freeze after no impact saves nothing", {Switch::AutoSave, Switch::FreezeIfNoImpact}, 400, 0,
         ShotOutcome::NoImpact, "", "Analyze - Impact not detected", 1, PendingAction::Freeze, false},
        {"an impact on the next sample is over the maximum", {Switch::FreezeIfMaxExceeded}, 400, 1,
         ShotOutcome::TooClose, "", "Analyze - Max velocity exceeded", 2, PendingAction::Freeze, false},
        {"no switch, no action", {}, 400, 4800, ShotOutcome::Shot, "", "", -1, PendingAction::None, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Settings s = test_support::TenMetres();
        s.VelocityMax = row.velocityMax;
        Switches switches;
        for (Switch sw : row.on) switches[sw] = true;
        Detection d = ShotAt(700, row.samples);
        if (row.samples == 0) {
            d.kind = Detection::Kind::Miss;
            d.impact = 0;
        }
        const MeasuredShot shot = MeasureDetection(d, DetectionMethod::Threshold, s, kT96, 0);
        EXPECT_EQ(shot.outcome, row.outcome);
        const ShotView v = ViewOf(d, &shot, switches, s, kT96, " m/s ");
        EXPECT_EQ(v.notice.View(), row.notice);
        EXPECT_EQ(v.freezeCaption.View(), row.caption);
        EXPECT_EQ(v.freezeSwitch, row.freezeSwitch);
        EXPECT_EQ(v.pending, row.pending);
        EXPECT_EQ(v.pendingFollowsShot, row.followsShot);
        EXPECT_EQ(v.impactBoxRed, row.samples > 0);
        EXPECT_EQ(v.showLabels, row.outcome == ShotOutcome::Shot);
        if (!shot.IsShot()) { EXPECT_EQ(shot.result.AvgVelocity, 0); }
    }
    EXPECT_EQ(MissText(ShotOutcome::NoImpact), "no impact");
    EXPECT_EQ(MissText(ShotOutcome::TooClose), "Max. Velocity");
}
