// "Detection:" in the Hardware frame: how shots are timed, the described
// threshold method or the onset method. A choice made here is written to
// the settings file ([measuring] method); a file that never named a method,
// and where none was chosen, keeps its bytes.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

#include "SettingsModel.h"

namespace quorvel {

class MethodChoice final : public QObject {
    Q_OBJECT
public:
    MethodChoice(QGroupBox& frame, SettingsModel& settings);

    // The settings' method, after they were loaded; `kept`: the file names one.
    void Show(bool kept);
    bool Kept() const { return kept_; }
    // No change of method in the middle of a recording.
    void SetRecording(bool recording) { cmbMethod.setEnabled(!recording); }

    QLabel lblMethod;
    QComboBox cmbMethod;

signals:
    void chosen();

private:
    SettingsModel& settings_;
    bool kept_ = false;
};

}  // namespace quorvel
