#include "RangeReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace quorvel::range {

namespace {

double Mean(const std::vector<double>& v)
{
    double s = 0;
    for (double x : v) s += x;
    return v.empty() ? 0 : s / static_cast<double>(v.size());
}

double Sd(const std::vector<double>& v)
{
    if (v.size() < 2) return 0;
    const double m = Mean(v);
    double ss = 0;
    for (double x : v) ss += (x - m) * (x - m);
    return std::sqrt(ss / static_cast<double>(v.size() - 1));
}

double Median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t h = v.size() / 2;
    return v.size() % 2 ? v[h] : (v[h - 1] + v[h]) / 2;
}

double Share(int part, int whole) { return whole > 0 ? 100.0 * part / whole : 0; }

struct Group {
    std::array<Tally, kBuckets> threshold, onset;
    int falseThreshold = 0, falseOnset = 0, neighbours = 0, sessions = 0;
    std::vector<double> sdThreshold, sdOnset;
    void Add(const SceneResult& r)
    {
        for (int b = 0; b < kBuckets; ++b) {
            threshold[static_cast<std::size_t>(b)].Add(r.threshold.buckets[static_cast<std::size_t>(b)]);
            onset[static_cast<std::size_t>(b)].Add(r.onset.buckets[static_cast<std::size_t>(b)]);
        }
        falseThreshold += r.threshold.falseShots;
        falseOnset += r.onset.falseShots;
        neighbours += r.onset.neighbours;
        ++sessions;
        sdThreshold.push_back(r.threshold.sdRatio);
        sdOnset.push_back(r.onset.sdRatio);
    }
};

void PrintRow(const char* bucket, const char* method, const Tally& t)
{
    std::printf("  %-8s %-9s %5d %7.1f %7.1f %8.1f %8.1f %6d\n", bucket, method, t.shots, Share(t.within025, t.shots),
                Share(t.within1, t.shots), Mean(t.errorsUs), Sd(t.errorsUs), t.misses);
}

void PrintGroup(const std::string& name, const Group& g)
{
    std::printf("\n%s (%d sessions, %d neighbours' reports heard)\n", name.c_str(), g.sessions, g.neighbours);
    std::printf("  %-8s %-9s %5s %7s %7s %8s %8s %6s\n", "SNR", "method", "shots", "<=0.25%", "<=1%", "bias us", "SD us", "misses");
    Tally allT, allO;
    for (int b = 0; b < kBuckets; ++b) {
        const auto k = static_cast<std::size_t>(b);
        if (g.threshold[k].shots == 0) continue;
        PrintRow(BucketName(b), "threshold", g.threshold[k]);
        PrintRow(BucketName(b), "onset", g.onset[k]);
        allT.Add(g.threshold[k]);
        allO.Add(g.onset[k]);
    }
    PrintRow("all", "threshold", allT);
    PrintRow("all", "onset", allO);
    std::printf("  false shots: threshold %d, onset %d; median measured SD / true SD: threshold %.2f, onset %.2f\n",
                g.falseThreshold, g.falseOnset, Median(g.sdThreshold), Median(g.sdOnset));
}

}  // namespace

void PrintScene(const SceneResult& r)
{
    auto within1 = [](const SessionScore& s) {
        int w = 0, n = 0;
        for (const Tally& t : s.buckets) {
            w += t.within1;
            n += t.shots;
        }
        return Share(w, n);
    };
    std::printf("%-38s %6d Hz  volumes %3d/%3d  <=1%%: thr %5.1f onset %5.1f  SD ratio: thr %6.2f onset %5.2f  false: %d/%d  other guns %d  sigma %.0f us  %s\n",
                r.scene.name.c_str(), r.scene.rate, r.muzzleVolume, r.impactVolume, within1(r.threshold),
                within1(r.onset), r.threshold.sdRatio, r.onset.sdRatio, r.threshold.falseShots, r.onset.falseShots,
                r.otherGuns, r.meanSigmaUs, r.advice.c_str());
}

void PrintTables(const std::vector<SceneResult>& results)
{
    std::map<std::string, Group> kinds;
    Group all;
    for (const SceneResult& r : results) {
        kinds[r.scene.kind].Add(r);
        all.Add(r);
    }
    for (const auto& [kind, group] : kinds) PrintGroup(kind, group);
    PrintGroup("all scenes", all);
}

}  // namespace quorvel::range
