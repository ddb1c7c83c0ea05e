#include "ShotString.h"

#include <cmath>
#include <cstdio>

#include "NumberText.h"

namespace quorvel {

namespace {

// Neumaier's compensated sum: the error of adding 10000 values near 300
// stays far below what the readouts or a spreadsheet could show.
class Sum {
public:
    void Add(double v)
    {
        const double t = sum_ + v;
        compensation_ += std::fabs(sum_) >= std::fabs(v) ? (sum_ - t) + v : (v - t) + sum_;
        sum_ = t;
    }
    double Value() const { return sum_ + compensation_; }

private:
    double sum_ = 0;
    double compensation_ = 0;
};

constexpr const char* kFullBanner = "String full: 10001 shots";

}  // namespace

double SampleStdDev(const double* values, int last)
{
    if (last <= 0) return 0;
    Sum sum;
    for (int i = 0; i <= last; ++i) sum.Add(values[i]);
    const double mean = sum.Value() / (last + 1);
    Sum squares;
    for (int i = 0; i <= last; ++i) squares.Add((values[i] - mean) * (values[i] - mean));
    return std::sqrt(squares.Value() / last);
}

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

void ShotString::Statistics()
{
    minimum_ = 9999;
    maximum_ = 0;
    Sum sum;
    for (int i = 0; i <= count_; ++i) {
        const double v = velocities_[static_cast<std::size_t>(i)];
        sum.Add(v);
        if (v < minimum_) minimum_ = v;
        if (v > maximum_) maximum_ = v;
    }
    average_ = sum.Value() / (count_ + 1);
    spread_ = maximum_ - minimum_;
    stdDev_ = SampleStdDev(velocities_.data(), count_);
}

void ShotString::FillData(const ShotResult& shot, const UnitLabels& units)
{
    ErrTimerTick();
    const double v = shot.MuzzleVelocity;
    const std::string_view format = units.SpeedFormat;
    const double energy = MuzzleEnergy(v, shot.PelletMass, IsMetric(units));
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
    records_[static_cast<std::size_t>(count_)] = {shot.ShotNumber, shot.ShotTime, energy};
    Statistics();
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
    if (bannerText_ == kFullBanner) bannerVisible_ = false;
}

double ShotString::TotalEnergy() const
{
    Sum sum;
    for (int i = 0; i < count_; ++i) sum.Add(records_[static_cast<std::size_t>(i)].energy);
    return sum.Value();
}

std::string ShotString::Table(char separator, const UnitLabels& units) const
{
    const std::string sep(1, separator);
    const std::string speed(TrimUnit(units.SpeedUnit));
    const std::string energy(TrimUnit(units.EnergyUnit));
    std::string out = "Shot" + sep + "Time" + sep + "Muzzle velocity" + sep + "Velocity unit" + sep + "Energy" + sep +
                      "Energy unit\n";
    for (int i = 0; i < count_; ++i) {
        const ShotRecord& r = records_[static_cast<std::size_t>(i)];
        out += std::to_string(r.number) + sep + ShotTimeText(r.time) + sep +
               GeneralNumber(velocities_[static_cast<std::size_t>(i)]) + sep + speed + sep + GeneralNumber(r.energy) +
               sep + energy + "\n";
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
