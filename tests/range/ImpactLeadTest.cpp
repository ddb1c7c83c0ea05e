// What comes before the signature's onset, lined up over several impacts:
// a sound that every impact has a fixed time ahead of it is the impact's
// own start; the room, different each time, and anything too few, too
// faint, too close or too early to tell are not.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "ImpactLead.h"
#include "OnsetTuning.h"

namespace quorvel {
namespace {

constexpr int kRate = 22050;

struct Stretch {
    double ahead = 50.3;  // samples from the direct sound to the signature's onset
    double level = 30;    // the direct sound's first swing
    double jitter = 0;    // how far each impact's direct sound strays, in samples
    double tail = 0;      // a sound dying away, the same in every stretch, from its start
    double louder = 1;    // the room's noise this many times louder from the direct sound's time on
    double fraction = 0.5;  // where the signature's onset lies past the stretch's last whole sample
};

// One impact's stretch before its signature onset: the room's noise, and
// a direct sound ringing at 3 kHz.
std::vector<float> Before(const ImpactLead& lead, const Stretch& s, std::mt19937& rng)
{
    std::normal_distribution<double> room(0, 10);
    std::uniform_real_distribution<double> stray(-s.jitter, s.jitter);
    const auto n = static_cast<std::size_t>(lead.Length());
    const double direct = static_cast<double>(n) + s.fraction - s.ahead + stray(rng);
    std::vector<float> x(n + 1);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = static_cast<double>(i) - direct;
        double v = room(rng) * (t >= 0 ? s.louder : 1) + s.tail * std::exp(-static_cast<double>(i) / 40) * std::sin(0.9 * static_cast<double>(i));
        if (t >= 0) v += s.level * std::sin(2 * std::numbers::pi * 3000 * t / kRate) * std::exp(-t / 60);
        x[i] = static_cast<float>(std::round(v));
    }
    return x;
}

TEST(ImpactLead, FindsTheImpactsStartAheadOfItsSignature)
{
    struct Row {
        const char* name;
        Stretch stretch;
        int impacts;
        bool found;
        double within = 0.25;  // samples; an AIC split is good to about half a sample, as the onset falls
    } rows[] = {
        {"a direct sound 50 samples ahead, at the room's level", {}, 4, true},
        {"the same, over a whole string", {}, 20, true},
        {"the onset just past a sample", {.ahead = 50.1, .fraction = 0.1}, 4, true, 0.75},
        {"the onset just before the next", {.ahead = 49.8, .fraction = 0.9}, 4, true, 0.75},
        {"one impact too few", {}, 3, false},
        {"the room alone", {.level = 0}, 20, false},
        {"a direct sound too faint to add up", {.level = 6}, 4, false},
        {"a direct sound not lined up", {.jitter = 12}, 8, false},
        {"within 0.3 ms of the onset: the signature's own start", {.ahead = 5}, 8, false},
        {"with no quiet before it to rise out of", {.ahead = 80}, 8, false},
        {"the report's tail dying away, the same every time", {.level = 0, .tail = 60}, 8, false},
        {"the room growing louder, differently each time", {.level = 0, .louder = 3}, 4, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::mt19937 rng(3);
        ImpactLead lead(kRate);
        for (int k = 0; k < row.impacts; ++k) lead.Add(Before(lead, row.stretch, rng), row.stretch.fraction);
        const std::optional<double> earlier = lead.Earlier();
        EXPECT_EQ(earlier.has_value(), row.found);
        if (earlier && row.found) {
            EXPECT_NEAR(*earlier, row.stretch.ahead, row.within);
        }
    }
    // Cleared, it starts afresh: what a loud room left is forgotten.
    ImpactLead lead(kRate);
    std::mt19937 rng(3);
    for (int k = 0; k < 8; ++k) lead.Add(Before(lead, {.level = 0, .louder = 4}, rng), 0.5);
    lead.Clear();
    EXPECT_EQ(lead.Heard(), 0);
    for (int k = 0; k < onset::kLeadShots; ++k) lead.Add(Before(lead, {}, rng), 0.5);
    EXPECT_TRUE(lead.Earlier().has_value());
    lead.Add(std::vector<float>(3, 1.0F), 0.5);
    EXPECT_EQ(lead.Heard(), onset::kLeadShots) << "too short a stretch is not heard";
}

}  // namespace
}  // namespace quorvel
