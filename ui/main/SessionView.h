// What the live measuring shows in the main window: the Measuring Data
// readouts, the trigger lines on the scope, the red volume boxes and their
// timer, the freeze marks, and the capture block; and what the session
// reads back from the window (settings, switches, where autosaves go).
#pragma once

#include <string>

#include "LiveRecordingDevice.h"
#include "MainControls.h"
#include "MeasuringSession.h"
#include "ScopePanel.h"
#include "SettingsFields.h"
#include "SettingsModel.h"
#include "WindowHosts.h"

namespace quorvel {

class SessionView final : public SessionListener {
public:
    SessionView(MainControls& controls, SettingsFields& fields, ScopePanel& scope, WindowHosts& hosts,
                const SettingsModel& settings, LiveRecordingDevice& device, std::string dataFolder)
        : controls_(controls), fields_(fields), scope_(scope), hosts_(hosts), settings_(settings), device_(device),
          dataFolder_(std::move(dataFolder))
    {
    }

    MeasureContext Context() const override;
    AutosaveTarget AutosaveTo() const override;
    void BlockHanded(int block) override;
    void Show(const ShotView& view) override;

private:
    MainControls& controls_;
    SettingsFields& fields_;
    ScopePanel& scope_;
    WindowHosts& hosts_;
    const SettingsModel& settings_;
    LiveRecordingDevice& device_;
    std::string dataFolder_;
};

}  // namespace quorvel
