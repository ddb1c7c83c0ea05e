#include "WindowHosts.h"

#include <QTimer>

namespace quorvel {

WindowHosts::WindowHosts(HostedBy parts, QObject* parent) : QObject(parent), parts_(std::move(parts))
{
    setObjectName("windowHosts");
}

WindowHosts::~WindowHosts()
{
    calibration_.reset();
    results_.reset();
    analysis_.reset();
}

ResultsWindow& WindowHosts::Results()
{
    if (!results_) {
        const SettingsModel& s = parts_.settings;
        results_ = std::make_unique<ResultsWindow>(parts_.router.String(), s.Record(), s.Units(), parts_.dialogs,
                                                   parts_.fileDialogs);
        connect(results_.get(), &ResultsWindow::newString, this, [this] { parts_.router.NewString(); });
        connect(results_.get(), &ResultsWindow::closed, this, [this] {
            // Closed with its close box: it is loaded afresh next time; the
            // string stays with the route.
            QTimer::singleShot(0, this, [this] { results_.reset(); });
        });
        emit resultsMade(results_.get());
    }
    return *results_;
}

AnalysisWindow& WindowHosts::Analysis()
{
    if (!analysis_) {
        AnalysisHost& host = *this;
        analysis_ = std::make_unique<AnalysisWindow>(host, parts_.settings, parts_.clock, parts_.dialogs,
                                                     parts_.fileDialogs, parts_.output, parts_.dataFolder, parts_.yield);
    }
    return *analysis_;
}

CalibrationWindow& WindowHosts::Calibration()
{
    if (!calibration_) {
        CalibrationHost& host = *this;
        calibration_ = std::make_unique<CalibrationWindow>(host, parts_.clock, parts_.yield);
    }
    return *calibration_;
}

void WindowHosts::OpenFrozen()
{
    OpenAnalysisOnRecording(freezeCaption_);
    freezeCaption_ = "Analyze";
}

void WindowHosts::OpenAnalysisOnRecording(const std::string& caption)
{
    CaptureEngine& engine = parts_.recording.Session().Engine();
    engine.UnrollRing();
    AnalysisWindow& analysis = Analysis();
    analysis.SetWaveform(engine.Waveform(), parts_.settings.Record().frequency, engine.DataArrived());
    analysis.setWindowTitle(QString::fromStdString(caption));
    analysis.move(parts_.main.pos());
    analysis.show();
    analysis.raise();
    analysis.activateWindow();
    parts_.analyzeButton.setText(" << &Analyze");
    analysis.Form_Activate();
}

void WindowHosts::PutAnalysisAway()
{
    analysis_->setWindowTitle("Analyze");
    analysis_->hide();
    parts_.analyzeButton.setText("&Analyze >>");
    parts_.main.setEnabled(true);
    parts_.recording.Thaw();
}

void WindowHosts::ShowCalibration()
{
    if (calibration_ && calibration_->Counting()) return;
    parts_.recording.Calibrate();
    Calibration().show();
    Calibration().raise();
    Calibration().activateWindow();
    Calibration().Form_Activate();
    parts_.main.setEnabled(false);
}

void WindowHosts::FieldLeft(const FieldLeave& after)
{
    if (analysis_ && (after.muzzleLevelLines || after.impactLevelLines)) analysis_->MoveLevelLines();
    if (analysis_ && after.redrawZoom) analysis_->DrawZoomArray();
}

void WindowHosts::SetMainEnabled(bool enabled)
{
    if (!enabled) parts_.scope.Stop();
    parts_.main.setEnabled(enabled);
}

void WindowHosts::AnalysisClosed(bool unload)
{
    parts_.analyzeButton.setText("&Analyze >>");
    parts_.main.setEnabled(true);
    parts_.fields.ClearFreezeMarks();
    parts_.recording.Thaw();
    emit analysisClosed();
    if (unload) {
        // Closed with its close box: loaded afresh next time, once nothing
        // of it is running any more.
        QTimer::singleShot(0, this, [this] { UnloadAnalysis(); });
    }
}

void WindowHosts::UnloadAnalysis()
{
    if (!analysis_ || analysis_->isVisible()) return;
    if (analysis_->Playing()) {
        QTimer::singleShot(50, this, [this] { UnloadAnalysis(); });
        return;
    }
    analysis_.reset();
}

void WindowHosts::AnalyseRecording()
{
    // The method heard the calibration shot as it learns: what it learnt of
    // the shooter's report is kept in the settings.
    if (std::string learnt = parts_.recording.Session().Method().Learnt(); !learnt.empty()) {
        parts_.settings.SetLearnt(std::move(learnt));
    }
    parts_.recording.AnalysisOpened();
    OpenAnalysisOnRecording("Analyze");
}

void WindowHosts::ReturnFromCalibration()
{
    parts_.recording.Calibrated();
    parts_.main.setEnabled(true);
    parts_.main.show();
    parts_.main.activateWindow();
    parts_.main.setFocus();
    if (AnalysisVisible()) {
        // The calibration shot opened the analysis window: it stays in
        // front and keeps the main window disabled while it is active.
        analysis_->raise();
        analysis_->activateWindow();
        analysis_->Form_Activate();
    }
}

}  // namespace quorvel
