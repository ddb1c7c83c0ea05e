#include "FieldRules.h"

#include "NumberText.h"

namespace quorvel {

FieldLeave LeaveField(std::size_t index, SettingsPanel& panel, Settings& record)
{
    FieldLeave after;
    auto& t = panel.txtInfo;
    const auto value = [&panel](std::size_t field) { return FieldValue(panel, field); };
    const auto replace = [&](std::string text) {
        t[index] = std::move(text);
        panel.exact[index].reset();
    };
    const auto atLeast = [&](double low, const char* text) {
        if (value(index) < low) replace(text);
    };
    switch (index) {
    case PanelField::Distance:
        atLeast(1, "1");
        t[PanelField::MicDistance] = GeneralNumber(value(index) / 2);
        after.applySampleRate = true;
        after.redrawZoom = true;
        break;
    case PanelField::PelletMass:
        atLeast(0.01, "0.01");
        record.pelletmass = value(index);
        break;
    case PanelField::RetainedVelocity:
        if (value(index) > 100) replace("100");
        atLeast(1, "1");
        record.RetainedVelocity = value(index);
        break;
    case PanelField::ImpactVolume:
    case PanelField::MuzzleVolume: {
        if (value(index) > 127) replace("127");
        atLeast(0, "0");
        const std::int16_t volume = RoundToInt16(value(index));
        (index == PanelField::ImpactVolume ? record.ImpactVolume : record.MuzzleVolume) = volume;
        (index == PanelField::ImpactVolume ? after.impactLevelLines : after.muzzleLevelLines) = true;
        break;
    }
    case PanelField::VelocityMin:
    case PanelField::VelocityMax: {
        atLeast(1, "1");
        const bool min = index == PanelField::VelocityMin;
        const std::size_t other = min ? PanelField::VelocityMax : PanelField::VelocityMin;
        if (min ? value(index) > value(other) : value(index) < value(other)) {
            replace(t[other]);
            panel.exact[index] = panel.exact[other];
        }
        after.applySampleRate = true;
        after.redrawZoom = true;
        break;
    }
    case PanelField::Offset:
        record.offset = value(index);
        break;
    default:
        break;
    }
    return after;
}

}  // namespace quorvel
