#include "SessionView.h"

#include "ShotDataFile.h"

namespace quorvel {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

MeasureContext SessionView::Context() const
{
    return MeasureContext{settings_.Record(), settings_.SampleTimeMs(), settings_.Units().SpeedUnit,
                          fields_.SwitchesFromControls()};
}

AutosaveTarget SessionView::AutosaveTo() const
{
    return {ShotDataPath(settings_.Record().datafilename, dataFolder_), dataFolder_, fields_.chkSaveExt.isChecked(),
            fields_.chkSaveWaveform.isChecked()};
}

void SessionView::BlockHanded(int block)
{
    const int overruns = device_.Overruns();
    QString text = QString::number(block);
    if (overruns > 0) text += QString("  overruns: %1").arg(overruns);
    controls_.lblPBUF.setText(text);
}

void SessionView::Show(const ShotView& v)
{
    auto& lblVel = controls_.lblVel;
    if (v.showLabels) {
        lblVel[0].setText(Q(v.labels.averageVelocity.Str()));
        lblVel[1].setText(Q(v.labels.elapsedSamples.Str()));
        lblVel[2].setText(Q(v.labels.resolution.Str()));
        lblVel[3].setText(Q(v.labels.accuracy.Str()));
        lblVel[5].setText(Q(v.labels.shotNumber.Str()));
    }
    if (v.impactLine >= 0) scope_.scope.SetTrigLine(1, v.impactLine, true);
    if (v.muzzleLine >= 0) scope_.scope.SetTrigLine(0, v.muzzleLine, true);
    if (v.muzzleBoxRed) fields_.SetVolumeBoxRed(true);
    if (v.impactBoxRed) fields_.SetVolumeBoxRed(false);
    if (v.startTrigLineTimer) {
        controls_.tmrRemoveTrigLines.setInterval(1500);
        controls_.tmrRemoveTrigLines.start();
    }
    if (!v.freezeCaption.Empty()) hosts_.SetFreezeCaption(v.freezeCaption.Str());
    if (v.freezeSwitch >= 0) fields_.MarkFreeze(v.freezeSwitch);
}

}  // namespace quorvel
