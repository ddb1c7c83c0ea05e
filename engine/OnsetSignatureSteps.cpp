// The onset detector's signature steps: once the string has settled, the
// band around its usual flight time searched for the ring of its impacts,
// and each sure impact learnt into that ring.
#include <algorithm>
#include <cmath>

#include "OnsetDetector.h"
#include "OnsetTuning.h"

namespace quorvel {

using namespace onset;

void OnsetDetector::MatchBand(std::int64_t& first, std::int64_t& last) const
{
    const double usual = UsualFlight();
    const auto base = static_cast<std::int64_t>(std::floor(muzzle_));
    first = std::max(static_cast<std::int64_t>(std::floor(muzzle_ + usual * (1 - kUsualFlight))), base + setup_.windowStart);
    last = std::min(static_cast<std::int64_t>(std::ceil(muzzle_ + usual * (1 + kUsualFlight))), base + setup_.windowEnd);
    // The signature's onset comes that much after the impact's.
    const auto shift = static_cast<std::int64_t>(std::ceil(leadBy_));
    first += shift;
    last += shift;
}

std::optional<double> OnsetDetector::Matched(std::int64_t first, std::int64_t last, double& sigma)
{
    // Searched a signature's length beyond the band on either side: a plate
    // rings in few modes, so a stretch of the band that holds only the start
    // or the end of an impact outside it can look like the whole. Only a
    // best match inside the band, and inside the impact window, is the impact.
    const std::int64_t length = signature_.Length();
    if (last < first) return std::nullopt;
    const auto m = signature_.Find(Copy(first - length, last - first + 3 * length, band_));
    if (!m || m->likeness < kMatchLikeness) return std::nullopt;
    const double onset = static_cast<double>(first - length) + m->onset;
    if (onset < static_cast<double>(first) || onset > static_cast<double>(last)) return std::nullopt;
    sigma = std::hypot(muzzleSigma_, m->sigma);
    return onset;
}

bool OnsetDetector::ClearlyEarlier(std::int64_t first)
{
    // A clear rise before the band that rings like the string's impacts is
    // a pellet faster than the string's (another pellet): it is refused, and
    // counts towards the new pace, rather than the band searched, which
    // would hold its ring, and a match cannot tell a ring's middle from its
    // start once the impact is a signature's length before the band. A
    // neighbour's report there rings otherwise, and the band is searched.
    // Where the impact starts ahead of its signature, the rise may be either.
    if (pendingStrength_ < kConfidentRise || pendingImpact_ >= static_cast<double>(first)) return false;
    const std::int64_t reach = len_.halfMs;
    const std::int64_t span = 2 * reach + static_cast<std::int64_t>(std::ceil(leadBy_)) + signature_.Length();
    const auto m = signature_.Find(Copy(static_cast<std::int64_t>(std::floor(pendingImpact_)) - reach, span, band_));
    return m && m->likeness >= kMatchLikeness;
}

void OnsetDetector::LearnSignature()
{
    if (toLearn_ < 0) return;
    const auto from = static_cast<std::int64_t>(std::floor(toLearn_));
    if (end_ < from + signature_.Length() + 1) return;
    signature_.Learn(Copy(from, signature_.Length() + 1, band_), toLearn_ - static_cast<double>(from), toLearnSigma_);
    HearLead(toLearn_);
    toLearn_ = -1;
}

void OnsetDetector::HearLead(double anchor)
{
    if (leadBy_ > 0) return;
    const auto at = static_cast<std::int64_t>(std::floor(anchor));
    lead_.Add(Copy(at - lead_.Length(), lead_.Length() + 1, scratch_), anchor - static_cast<double>(at));
    const std::optional<double> earlier = lead_.Earlier();
    if (!earlier) return;
    // The flights timed at the signature's onset move to the impact's; any
    // already timed there (nearer the earlier time) stay.
    const double usual = UsualFlight();
    leadBy_ = *earlier;
    for (double& flight : flights_) {
        if (std::abs(flight - usual) < std::abs(flight - (usual - leadBy_))) flight -= leadBy_;
    }
}

}  // namespace quorvel
