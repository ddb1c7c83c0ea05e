// The onset method on scenes with known answers, and on input that must
// never make it guess.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "RangeRig.h"

using namespace range_test;

namespace {

Scene With(Scene s, void (*change)(Scene&))
{
    change(s);
    return s;
}

}  // namespace

// Each shot's flight time within a tolerance of the truth, on the kinds of
// scene that trip a fixed volume: a slow thud, a clipping report, a low
// rate, a room's echoes, a hard backstop returning the report before a
// quieter impact, neighbours firing into the impact window. Shots whose
// impact stands less than 10 dB above the rest are only counted as found.
TEST(OnsetDetector, TimesBothSoundsAtTheirOnsets)
{
    struct Row {
        const char* name;
        Scene scene;
        double toleranceUs;  // for every clear shot
        int mayMiss;         // clear shots allowed outside it
    };
    const Row rows[] = {
        {"plate, open field, 96 kHz", Field(96000, 1), 30, 0},
        // A thud is timed at its foot, within a quarter of its swell.
        {"trap rising over 0.8 ms, 48 kHz", With(Field(48000, 2), [](Scene& s) { s.target = Target::Trap, s.trapRiseMs = 0.8; }), 200, 0},
        {"5 m at 300 m/s, 22 kHz", With(Field(22050, 3), [](Scene& s) { s.distance = 5, s.velocity = 300, s.micSide = 0.4; }), 90, 0},
        {"report clipping, 44.1 kHz", With(Field(44100, 4), [](Scene& s) { s.reportPeak = 2; }), 40, 0},
        // Early reflections crowd the first milliseconds of a small room.
        {"garage echoes, 48 kHz", With(Garage(48000, 5), [](Scene& s) { s.rt60 = 0.3, s.distance = 5, s.impactDb = 0; }), 60, 1},
        {"hard backstop, echo before a quieter impact", With(Field(96000, 6), [](Scene& s) {
             s.size.x = s.gun.x + s.distance + 1, s.reflection[kBackstop] = 0.95, s.impactDb = -12; }), 30, 0},
        // A plate's low ring, far below the report, starts with one jump
        // and few highs; one that is no clean jump is timed by its envelope.
        {"faint plate under a loud report, 48 kHz", With(Field(48000, 8), [](Scene& s) { s.impactDb = -16, s.noiseDbfs = -40; }), 60, 0},
        {"neighbours into the window", With(Field(96000, 7), [](Scene& s) {
             s.neighboursInWindows = true, s.neighboursPerMinute = 20, s.neighbourLane = 1.5; }), 30, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Session session = MakeSession(row.scene, 8);
        int falseShots = 0;
        const std::vector<double> errors = ErrorsUs(session.string, Measure(SetupAfter(row.scene, session.calibration), session), &falseShots);
        int clear = 0, off = 0, found = 0;
        for (std::size_t k = 0; k < errors.size(); ++k) {
            found += std::isfinite(errors[k]);
            if (session.string.shots[k].snrDb < 10) continue;
            ++clear;
            off += !(std::abs(errors[k]) <= row.toleranceUs);
        }
        EXPECT_GE(clear, 3);
        EXPECT_LE(off, row.mayMiss) << ::testing::PrintToString(errors);
        EXPECT_GE(found, 7);
        EXPECT_EQ(falseShots, 0);
    }
}

// What must be a miss with its reason, or nothing at all: never a shot.
TEST(OnsetDetector, SaysWhyInsteadOfGuessing)
{
    const Scene field = Field(22050, 12);
    const Session session = MakeSession(field, 3);
    const OnsetSetup learnt = SetupAfter(field, session.calibration);

    // No impact: a report, then nothing the window can hear.
    const Scene silentTarget = With(field, [](Scene& s) { s.impactDb = -300; });
    const Heard unheard = Measure(learnt, MakeSession(silentTarget, 3));
    EXPECT_EQ(unheard.Count(OnsetEventKind::Shot), 0);
    EXPECT_EQ(unheard.Count(OnsetEventKind::Miss), 3);
    for (const OnsetEvent& e : unheard.events) {
        if (e.kind == OnsetEventKind::Miss) {
            EXPECT_EQ(e.reason, OnsetMiss::NoImpact);
        }
    }

    // A rate too low for the distance: the window spans a handful of samples.
    OnsetSetup coarse = learnt;
    coarse.windowStart = 2;
    coarse.windowEnd = 9;
    const Heard tooLow = Measure(coarse, session);
    EXPECT_EQ(tooLow.Count(OnsetEventKind::Shot), 0);
    EXPECT_EQ(tooLow.Count(OnsetEventKind::Miss), 3);
    for (const OnsetEvent& e : tooLow.events) EXPECT_EQ(e.reason, OnsetMiss::RateTooLow);

    // Only neighbours: another gun's report never starts a shot.
    const Scene busy = With(field, [](Scene& s) { s.neighboursPerMinute = 40, s.neighbourLane = 1.5; });
    Session neighboursOnly;
    neighboursOnly.calibration = session.calibration;
    neighboursOnly.string = MakeRecording(busy, 0, 20, 5);
    ASSERT_GE(neighboursOnly.string.neighbours.size(), 5u);
    const Heard others = Measure(learnt, neighboursOnly);
    EXPECT_EQ(others.Count(OnsetEventKind::Shot), 0);
    EXPECT_EQ(others.Count(OnsetEventKind::Muzzle), 0);
    EXPECT_GE(others.Count(OnsetEventKind::OtherGun), 3);
}

// Once a string has shown its flight time, a window with nothing near it
// is a miss, whatever else was heard there (a neighbour firing into it);
// a string that really changed pace (another pellet) is followed after a
// few misses, not refused for ever.
TEST(OnsetDetector, KeepsToTheStringsFlightTime)
{
    const Scene field = Field(48000, 21);
    const Scene far = With(field, [](Scene& s) { s.distance = 45; });
    // Its flights spread by a few samples only, and a few of them agree to
    // half a sample: a changed pace is no echo for that.
    const Scene steady = With(Field(22050, 21), [](Scene& s) { s.velocitySd = 0.002; });
    struct Row {
        const char* name;
        Scene after;
        int shots, misses;  // of the 6 shots after the settled ones, at most/at least
        double windowStart = 0, windowEnd = 0;  // times the settled flight time; 0: from the velocity limits
        const Scene* before = nullptr;         // the settled string's scene; the field's when none
    };
    const Row rows[] = {
        {"neighbours into windows whose impact is silent", With(field, [](Scene& s) {
             s.impactDb = -300, s.neighboursInWindows = true, s.neighboursPerMinute = 30, s.neighbourLane = 1.5; }), 0, 4},
        {"a pellet 12 % slower", With(field, [](Scene& s) { s.velocity *= 0.88; }), 6, 0},
        // Inside the usual band but slower, or faster, than the velocity limits allow.
        {"a pellet 3 % slower, past the window", With(field, [](Scene& s) { s.velocity *= 0.97; }), 0, 4, 0, 1.015},
        {"a pellet 3 % faster, before the window", With(field, [](Scene& s) { s.velocity *= 1.03; }), 0, 4, 0.985, 0},
        // Far enough that the faster impact's ring fills the old band.
        {"a pellet 12 % faster at 45 m", With(far, [](Scene& s) { s.velocity *= 1.12; }), 6, 0, 0, 0, &far},
        {"a steady gun's pellet 12 % slower at 22 kHz", With(steady, [](Scene& s) { s.velocity *= 0.88; }), 6, 0, 0, 0, &steady},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Scene& base = row.before ? *row.before : field;
        const Session settled = MakeSession(base, 4);
        const Recording later = MakeRecording(row.after, 6, 20, 9);
        Session joined = settled;
        joined.string.samples.insert(joined.string.samples.end(), later.samples.begin(), later.samples.end());
        OnsetSetup setup = SetupAfter(base, settled.calibration);
        const double flight = settled.string.shots[0].flight * base.rate;
        if (row.windowStart > 0) setup.windowStart = std::llround(row.windowStart * flight);
        if (row.windowEnd > 0) setup.windowEnd = std::llround(row.windowEnd * flight);
        const Heard heard = Measure(setup, joined);
        const auto offset = static_cast<double>(settled.string.samples.size());
        std::vector<double> flights;
        int misses = 0;
        for (const OnsetEvent& e : heard.events) {
            if (e.muzzle < offset) continue;
            if (e.kind == OnsetEventKind::Shot) flights.push_back(e.impact - e.muzzle);
            misses += e.kind == OnsetEventKind::Miss;
        }
        if (row.misses > 0) {
            EXPECT_EQ(flights.size(), 0u);
            EXPECT_GE(misses, row.misses);
            continue;
        }
        // Refused until the new pace is the usual one, then measured right.
        ASSERT_GE(flights.size(), 3u);
        EXPECT_LE(misses, 3);
        for (std::size_t k = 0; k < flights.size(); ++k) {
            const double truth = later.shots[later.shots.size() - flights.size() + k].flight * base.rate;
            EXPECT_NEAR(flights[k], truth, 0.0025 * truth) << "shot " << k;
        }
    }
}

// Whole catalogue strings where one rule decides the string. Where the
// impact is expected, a rise is measured against the last millisecond when
// a dying tail has left it quieter than the four before: in the garage the
// report's tail is still loud at the impact, and without that look the
// string loses impacts to later sounds. In the hall a far wall's return of
// the report outshouts the impact: the calibration must take the sharpest
// rise, not the loudest, or the whole string follows the echo. On the busy
// line a neighbour's report falls 2.5 % before an impact: only a no
// quieter sound early in the band gives way to a rise close to the
// string's time; a garage at 22 kHz, whose plate's reflection follows it
// closely, and a trap whose thud grows louder after its first rise must
// keep their first rise.
// Beside the loud neighbour a faint wisp of the tail 1.75 ms before an
// impact at the usual time must not take the impact's split, nor, once
// the impact's signature is known, be taken for the impact at all. In the
// garage and the hall at 22 kHz the signature finds plates that no rise
// gives away. Beside the loud neighbour and on the busy line, shots fired
// soon after a neighbour's report that was followed in vain are heard; in
// the garage at 22 kHz, whose windows often end with no impact, no sound in
// doubt soon after such a window (the room still rings) starts a shot.
// Beside the loud neighbour at seed 200 the shooter fires 0.1 s after a
// neighbour's report followed in doubt, inside its window; with a trap at
// 22 kHz, 0.2 s after one that was another gun's before its window ended.
// In the very reverberant hall and in the garage with a pellet trap the
// report's tail hides the impact from plain differences: only with the
// report's colour flattened out does it rise; once the string has a usual
// time, the room's own colour just before it is flattened out instead, and
// a rise there whose split of the samples as they are is none is split
// again flattened (the very reverberant hall, the garage at 22 kHz, a trap
// in the garage), though not in a window followed in doubt, which such a
// faint rise would make the shooter's (a neighbour's report in the hall
// with a trap at seed 0). On the busy line at seed 200
// a neighbour fired first in the calibration: the shooter's gun takes the
// learnt report's place after two of its shots.
TEST(OnsetDetector, StringsWhereOneRuleDecides)
{
    struct Row {
        const char* scene;
        std::uint32_t seed;  // added to the catalogue's
        int within;          // of 25 shots, within 1 %
        double worst = 100;  // % of the flight time, of the shots measured
        int mostFalse = 25;  // shots stored with no shot of the shooter's
    };
    const Row rows[] = {{"garage, plate", 0, 22},
                        {"garage, plate", 200, 23},
                        {"hall, plate, 22 kHz", 100, 23},
                        {"hall, plate, 22 kHz", 0, 24},
                        {"neighbours, plate, busy line", 0, 22},
                        {"neighbours, loud, faint impact", 0, 24, 1},
                        {"neighbours, loud, faint impact", 500, 25, 1},
                        {"neighbours, loud, faint impact", 400, 22},
                        {"neighbours, loud, faint impact", 200, 25},
                        {"neighbours, trap, 22 kHz", 300, 24},
                        {"neighbours, plate, busy line", 500, 22},
                        {"garage, plate, 22 kHz", 500, 15, 200, 0},
                        {"hall, very reverberant", 400, 17},
                        {"garage, pellet trap", 0, 8},
                        {"hall, trap, neighbours", 0, 18, 100, 0},
                        {"neighbours, plate, busy line", 200, 23},
                        {"garage, plate, 22 kHz", 0, 6},
                        {"garage, plate, 22 kHz", 100, 9},
                        {"hall, very reverberant", 300, 16},
                        {"outdoor, trap, wooden backstop", 200, 25}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.scene) + " seed +" + std::to_string(row.seed));
        Scene scene;
        for (const Scene& s : Catalogue()) {
            if (s.name == row.scene) scene = s;
        }
        ASSERT_EQ(scene.name, row.scene);
        scene.seed += row.seed;
        const Session session = MakeSession(scene);
        int falseShots = 0;
        const std::vector<double> errors = ErrorsUs(session.string, Measure(SetupAfter(scene, session.calibration), session), &falseShots);
        EXPECT_LE(falseShots, row.mostFalse);
        int within = 0;
        for (std::size_t k = 0; k < errors.size(); ++k) {
            const double share = std::abs(errors[k]) / (1e4 * session.string.shots[k].flight);
            within += share <= 1;
            if (std::isfinite(share)) {
                EXPECT_LE(share, row.worst) << "shot " << k;
            }
        }
        EXPECT_GE(within, row.within) << ::testing::PrintToString(errors);
    }
}

// Hostile input: nothing crashes, nothing is invented.
TEST(OnsetDetector, BadInputGivesNoShot)
{
    struct Row {
        const char* name;
        int rate;
        std::int64_t windowStart, windowEnd;
        std::vector<std::uint8_t> sound;
    };
    std::vector<std::uint8_t> alternating(50000);
    for (std::size_t i = 0; i < alternating.size(); ++i) alternating[i] = i % 2 ? 255 : 0;
    const Row rows[] = {
        {"nothing at all", 96000, 2400, 19200, {}},
        {"a rate of 0", 0, 0, 0, std::vector<std::uint8_t>(30000, 255)},
        {"a rate of 1", 1, 0, 0, alternating},
        {"all clipped high", 48000, 1200, 9600, std::vector<std::uint8_t>(200000, 255)},
        {"all clipped, alternating", 22050, 551, 4410, alternating},
        {"an empty window", 22050, 4410, 551, alternating},
        // A damaged header's rate: no window that long is held, nothing is measured.
        {"a rate of 570 MHz", 570447394, 5704474, 114089479, MakeSession(Field(48000, 3), 2).string.samples},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OnsetSetup setup;
        setup.sampleRate = row.rate;
        setup.windowStart = row.windowStart;
        setup.windowEnd = row.windowEnd;
        OnsetDetector detector(setup);
        Heard heard;
        detector.Feed(row.sound, heard);
        detector.Feed({}, heard);
        detector.Finish(heard);
        EXPECT_EQ(heard.Count(OnsetEventKind::Shot), 0);
        for (const OnsetEvent& e : heard.events) EXPECT_TRUE(std::isfinite(e.muzzle) && std::isfinite(e.impact) && std::isfinite(e.sigma));
    }
}

// The same events whatever the blocks the sound arrives in, each shot
// within one capture block of its impact, in time order.
TEST(OnsetDetector, GivesTheSameEventsForAnyBlockSize)
{
    const Scene scene = With(Garage(44100, 15), [](Scene& s) { s.neighboursPerMinute = 20; });
    const Session session = MakeSession(scene, 4);
    const OnsetSetup setup = SetupAfter(scene, session.calibration);
    const Heard whole = Measure(setup, session, session.string.samples.size());
    ASSERT_GE(whole.Count(OnsetEventKind::Shot), 3);
    for (const std::size_t block : {std::size_t{1}, std::size_t{97}, std::size_t{4096}, std::size_t{kBlockSize}}) {
        SCOPED_TRACE(block);
        const Heard split = Measure(setup, session, block);
        ASSERT_EQ(split.events.size(), whole.events.size());
        for (std::size_t k = 0; k < whole.events.size(); ++k) {
            EXPECT_EQ(split.events[k].kind, whole.events[k].kind);
            EXPECT_EQ(split.events[k].muzzle, whole.events[k].muzzle);
            EXPECT_EQ(split.events[k].impact, whole.events[k].impact);
            EXPECT_EQ(split.events[k].sigma, whole.events[k].sigma);
        }
    }
    // Reported while the block after the impact is fed, and in order.
    OnsetDetector detector(setup);
    Heard live;
    double last = 0;
    for (std::size_t at = 0; at < session.string.samples.size(); at += kBlockSize) {
        const std::size_t count = std::min<std::size_t>(kBlockSize, session.string.samples.size() - at);
        const std::size_t before = live.events.size();
        detector.Feed(std::span<const std::uint8_t>(session.string.samples).subspan(at, count), live);
        for (std::size_t k = before; k < live.events.size(); ++k) {
            if (live.events[k].kind != OnsetEventKind::Shot) continue;
            EXPECT_LT(static_cast<double>(at), live.events[k].impact + kBlockSize);
            EXPECT_GE(live.events[k].muzzle, last);
            last = live.events[k].muzzle;
        }
    }
}

// The report a calibration teaches, as a settings line and back.
TEST(ReportSignature, GoesIntoTheSettingsFileAndBack)
{
    const Scene scene = Field(48000, 15);
    const Session session = MakeSession(scene, 1);
    const ReportSignature learnt = LearnReport(session.calibration.samples, scene.rate,
                                               static_cast<std::int64_t>(session.calibration.shots[0].muzzle));
    ASSERT_FALSE(learnt.Empty());
    EXPECT_NEAR(learnt.pulseMs, 0.11, 0.05);
    const auto back = ReportSignature::FromText(learnt.ToText());
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, learnt);
    EXPECT_EQ(Mismatch(*back, learnt), 0);
    const std::string text = learnt.ToText();
    for (const std::string& bad : {std::string(), std::string("garbage"), text.substr(0, text.size() - 3) + ",x", text + ",1",
                                  std::string("rate=0 pulse=1 length=1 peak=1 bands=0,0,0,0,0,0,0,0"),
                                  std::string("rate=96000 pulse=nan length=1 peak=1 bands=0,0,0,0,0,0,0,0")}) {
        EXPECT_FALSE(ReportSignature::FromText(bad)) << bad;
    }
    EXPECT_TRUE(LearnReport({}, 48000, 0).Empty());
    EXPECT_TRUE(LearnReport(session.calibration.samples, 0, 100).Empty());
}
