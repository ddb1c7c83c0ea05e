#include "ShotString.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "Clock.h"
#include "NumberText.h"
#include "StringStatistics.h"

namespace quorvel {

namespace {

constexpr const char* kFullBanner = "String full: 10001 shots";

}  // namespace

ShotString::ShotString() : velocities_(kSlots, 0.0), records_(kSlots) { ReloadReadouts(); }

void ShotString::ReloadReadouts()
{
    readouts_.fill("000.0");
    readouts_[Readout::ShotNumber] = "000";
    errTimerEnabled_ = false;
    notice_ = false;
    bannerVisible_ = Full();
    bannerText_ = Full() ? kFullBanner : "";
}

void ShotString::Statistics(int last)
{
    // The library's statistics, so both windows agree to the last digit;
    // the extremes start from 9999 and 0 as the readouts always have.
    const Summary s = Summarize(std::span<const double>(velocities_.data(), static_cast<std::size_t>(last) + 1));
    minimum_ = std::min(9999.0, s.min);
    maximum_ = std::max(0.0, s.max);
    average_ = s.mean;
    spread_ = maximum_ - minimum_;
    stdDev_ = s.sd;
}

void ShotString::FillData(const ShotResult& shot, const UnitLabels& units, double accuracy)
{
    ErrTimerTick();
    const double v = shot.MuzzleVelocity;
    const std::string_view format = units.SpeedFormat;
    savedFormat_ = format;
    const double energy = MuzzleEnergy(v, shot.PelletMass, units.system);
    if (Full()) {
        // The string cannot grow: the shot is shown, the statistics stay.
        readouts_[Readout::Velocity] = FormatPattern(v, format);
        readouts_[Readout::ShotNumber] = FormatPattern(shot.ShotNumber, "000");
        readouts_[Readout::Energy] = FormatPattern(energy, "000.0");
        savedVelocityText_ = readouts_[Readout::Velocity];
        bannerText_ = kFullBanner;
        bannerVisible_ = true;
        return;
    }
    velocities_[static_cast<std::size_t>(count_)] = v;
    records_[static_cast<std::size_t>(count_)] = {shot.ShotNumber, shot.ShotTime, energy, accuracy};
    Statistics(count_);
    if (count_ > 1) {
        const double difference = v - previous_;
        readouts_[Readout::Difference] = (difference > 0 ? "+" : "") + FormatPattern(difference, format);
    }
    readouts_[Readout::Velocity] = FormatPattern(v, format);
    readouts_[Readout::ShotNumber] = FormatPattern(shot.ShotNumber, "000");
    readouts_[Readout::Energy] = FormatPattern(energy, "000.0");
    readouts_[Readout::Average] = FormatPattern(average_, format);
    readouts_[Readout::Minimum] = FormatPattern(minimum_, format);
    readouts_[Readout::Maximum] = FormatPattern(maximum_, format);
    readouts_[Readout::Spread] = FormatPattern(spread_, format);
    readouts_[Readout::StdDev] = FormatPattern(stdDev_, format);
    readouts_[Readout::TotalEnergy] = FormatPattern(
        ParseLeadingNumber(readouts_[Readout::TotalEnergy]) + ParseLeadingNumber(readouts_[Readout::Energy]), "0.0");
    savedVelocityText_ = readouts_[Readout::Velocity];
    previous_ = v;
    ++count_;
    if (Full()) {
        bannerText_ = kFullBanner;
        bannerVisible_ = true;
    }
}

void ShotString::MisShot(std::string_view text)
{
    savedVelocityText_ = readouts_[Readout::Velocity];
    readouts_[Readout::Velocity] = kNoticeVelocityText;
    notice_ = true;
    bannerText_ = std::string(text);
    bannerVisible_ = true;
    errTimerEnabled_ = true;
}

void ShotString::ErrTimerTick()
{
    readouts_[Readout::Velocity] = savedVelocityText_;
    notice_ = false;
    bannerVisible_ = Full();
    if (Full()) bannerText_ = kFullBanner;
}

void ShotString::NewString()
{
    readouts_.fill("000.0");
    readouts_[Readout::ShotNumber] = "000";
    count_ = 0;
    notice_ = false;
    std::fill(velocities_.begin(), velocities_.end(), 0.0);
    std::fill(records_.begin(), records_.end(), ShotRecord{});
    excluded_.clear();
    if (bannerText_ == kFullBanner) bannerVisible_ = false;
}

int ShotString::ExcludeLast()
{
    if (count_ == 0) return 0;
    --count_;
    const auto slot = static_cast<std::size_t>(count_);
    excluded_.push_back({records_[slot], velocities_[slot]});
    // The total adds up the energies as shown, so the one shown goes.
    readouts_[Readout::TotalEnergy] =
        FormatPattern(ParseLeadingNumber(readouts_[Readout::TotalEnergy]) -
                          ParseLeadingNumber(FormatPattern(records_[slot].energy, "000.0")),
                      "0.0");
    velocities_[slot] = 0;
    records_[slot] = {};
    if (bannerText_ == kFullBanner) bannerVisible_ = false;
    ShowStatistics();
    return excluded_.back().record.number;
}

int ShotString::IncludeExcluded()
{
    if (excluded_.empty() || Full()) return 0;
    const Excluded back = excluded_.back();
    excluded_.pop_back();
    auto at = static_cast<std::size_t>(count_);
    while (at > 0 && records_[at - 1].number > back.record.number) {
        records_[at] = records_[at - 1];
        velocities_[at] = velocities_[at - 1];
        --at;
    }
    records_[at] = back.record;
    velocities_[at] = back.velocity;
    ++count_;
    readouts_[Readout::TotalEnergy] =
        FormatPattern(ParseLeadingNumber(readouts_[Readout::TotalEnergy]) +
                          ParseLeadingNumber(FormatPattern(back.record.energy, "000.0")),
                      "0.0");
    if (Full()) {
        bannerText_ = kFullBanner;
        bannerVisible_ = true;
    }
    ShowStatistics();
    return back.record.number;
}

void ShotString::ShowStatistics()
{
    if (count_ == 0) {
        for (auto r : {Readout::Average, Readout::Minimum, Readout::Maximum, Readout::Spread, Readout::StdDev}) {
            readouts_[r] = "000.0";
        }
        return;
    }
    Statistics(count_ - 1);
    const std::string format = savedFormat_;
    readouts_[Readout::Average] = FormatPattern(average_, format);
    readouts_[Readout::Minimum] = FormatPattern(minimum_, format);
    readouts_[Readout::Maximum] = FormatPattern(maximum_, format);
    readouts_[Readout::Spread] = FormatPattern(spread_, format);
    readouts_[Readout::StdDev] = FormatPattern(stdDev_, format);
    previous_ = velocities_[static_cast<std::size_t>(count_ - 1)];
}

double ShotString::TotalEnergy() const
{
    CompensatedSum sum;
    for (int i = 0; i < count_; ++i) sum.Add(records_[static_cast<std::size_t>(i)].energy);
    return sum.Value();
}

std::string ShotString::Table(char separator, const UnitLabels& units) const
{
    const std::string sep(1, separator);
    const std::string speed(TrimUnit(units.SpeedUnit));
    const std::string energy(TrimUnit(units.EnergyUnit));
    // A string timed by the onset method carries each shot's accuracy in a last column.
    const auto shots = std::span<const ShotRecord>(records_.data(), static_cast<std::size_t>(count_));
    const bool accuracy = std::any_of(shots.begin(), shots.end(), [](const ShotRecord& r) { return r.accuracy > 0; });
    std::string out = "Shot" + sep + "Time" + sep + "Muzzle velocity" + sep + "Velocity unit" + sep + "Energy" + sep +
                      "Energy unit" + (accuracy ? sep + "Accuracy (1 SD)" : "") + "\n";
    for (int i = 0; i < count_; ++i) {
        const ShotRecord& r = records_[static_cast<std::size_t>(i)];
        out += std::to_string(r.number) + sep + ShotTimeText(r.time) + sep +
               GeneralNumber(velocities_[static_cast<std::size_t>(i)]) + sep + speed + sep + GeneralNumber(r.energy) +
               sep + energy + (accuracy ? sep + GeneralNumber(r.accuracy) : "") + "\n";
    }
    if (count_ == 0) return out;
    const auto row = [&](const char* name, double value, const std::string& unit) {
        out += std::string(name) + sep + sep + GeneralNumber(value) + sep + unit + "\n";
    };
    out += "\n";
    out += "Shots" + sep + sep + std::to_string(count_) + "\n";
    row("Average", average_, speed);
    row("Minimum", minimum_, speed);
    row("Maximum", maximum_, speed);
    row("Spread", spread_, speed);
    row("Standard deviation", stdDev_, speed);
    // The window adds up the energies as shown; the spreadsheet gets the exact sum.
    out += "Total energy (exact)" + sep + sep + sep + sep + GeneralNumber(TotalEnergy()) + sep + energy + "\n";
    return out;
}

std::string ShotTimeText(double days)
{
    if (!std::isfinite(days) || days <= 0) return "";
    const CivilTime t = CivilTimeOf(days);
    char text[128];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

}  // namespace quorvel
