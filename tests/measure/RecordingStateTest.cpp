// The recording's states: every change the table allows, and that every
// other event leaves the state as it was.
#include <gtest/gtest.h>

#include <map>

#include "RecordingState.h"

using namespace quorvel;

TEST(RecordingState, ChangesOnlyWhereTheTableSays)
{
    using S = RecordingState;
    using E = RecordingEvent;
    const std::map<std::pair<S, E>, S> changes = {
        {{S::Idle, E::Start}, S::Recording},          {{S::Idle, E::Freeze}, S::Frozen},
        {{S::Idle, E::Calibrate}, S::Calibrating},    {{S::Idle, E::MeasureFile}, S::MeasuringFile},
        {{S::Recording, E::Stop}, S::Idle},           {{S::Recording, E::Restart}, S::Restarting},
        {{S::Recording, E::Freeze}, S::Frozen},       {{S::Recording, E::Calibrate}, S::Calibrating},
        {{S::Recording, E::MeasureFile}, S::MeasuringFile},
        {{S::Restarting, E::Start}, S::Recording},    {{S::Restarting, E::Stop}, S::Idle},
        {{S::Frozen, E::Thaw}, S::Idle},              {{S::Frozen, E::Start}, S::Recording},
        {{S::Frozen, E::Calibrate}, S::Calibrating},  {{S::Frozen, E::MeasureFile}, S::MeasuringFile},
        {{S::Calibrating, E::Freeze}, S::Frozen},     {{S::Calibrating, E::Calibrated}, S::Idle},
        {{S::MeasuringFile, E::FileMeasured}, S::Idle},
    };
    for (int s = 0; s <= static_cast<int>(S::Ending); ++s) {
        for (int e = 0; e <= static_cast<int>(E::End); ++e) {
            const auto state = static_cast<S>(s);
            const auto event = static_cast<E>(e);
            const auto found = changes.find({state, event});
            const S expected = event == E::End ? S::Ending : found != changes.end() ? found->second : state;
            EXPECT_EQ(Next(state, event), expected) << StateName(state) << " event " << e;
        }
    }
    // Only a stopped recording, a frozen one, or the calibration's shot may open the device.
    for (const auto& [state, may] : {std::pair{S::Idle, true}, {S::Recording, false}, {S::Restarting, true},
                                    {S::Frozen, true}, {S::Calibrating, true}, {S::MeasuringFile, false},
                                    {S::Ending, false}}) {
        EXPECT_EQ(MayStart(state), may) << StateName(state);
    }
}
