// The main window as host of the results, analysis and calibration windows,
// and the credit labels.
#include <QFileInfo>
#include <QUrl>

#include "AboutText.h"
#include "MainWindow.h"
#include "NumberText.h"
#include "ShotDataFile.h"

namespace quorvel {

ResultsWindow& MainWindow::Results()
{
    if (!results_) {
        results_ = std::make_unique<ResultsWindow>(router_.String(), record_, units_, services_.dialogs, services_.fileDialogs);
        connect(results_.get(), &ResultsWindow::newString, this, [this] { router_.NewString(); });
        ConnectResultsToLibrary();
        connect(results_.get(), &ResultsWindow::closed, this, [this] {
            // Closed with its close box: it is loaded afresh next time; the
            // string stays with us.
            QTimer::singleShot(0, this, [this] { results_.reset(); });
        });
    }
    return *results_;
}

AnalysisWindow& MainWindow::Analysis()
{
    if (!analysis_) {
        AnalysisHost& host = *this;
        analysis_ = std::make_unique<AnalysisWindow>(host, services_.clock, services_.dialogs, services_.fileDialogs,
                                                     services_.output, DataFolder(), Yield());
    }
    return *analysis_;
}

CalibrationWindow& MainWindow::Calibration()
{
    if (!calibration_) {
        CalibrationHost& host = *this;
        calibration_ = std::make_unique<CalibrationWindow>(host, services_.clock, Yield());
    }
    return *calibration_;
}

void MainWindow::OpenAnalysisOnRecording(const std::string& caption)
{
    session_.Engine().UnrollRing();
    AnalysisWindow& analysis = Analysis();
    analysis.SetWaveform(session_.Engine().Waveform(), record_.frequency, session_.Engine().DataArrived());
    analysis.setWindowTitle(QString::fromStdString(caption));
    analysis.move(pos());
    analysis.show();
    analysis.raise();
    analysis.activateWindow();
    cmdAnalyze.setText(" << &Analyze");
    analysis.Form_Activate();
}

void MainWindow::cmdAnalyze_Click()
{
    if (AnalysisVisible()) {
        analysis_->setWindowTitle("Analyze");
        analysis_->hide();
        cmdAnalyze.setText("&Analyze >>");
        setEnabled(true);
        return;
    }
    FreezeForAnalysis();
}

void MainWindow::cmdTestShot_Click()
{
    if (calibration_ && calibration_->Counting()) return;
    DoStop();
    Calibration().show();
    Calibration().raise();
    Calibration().activateWindow();
    Calibration().Form_Activate();
    setEnabled(false);
}

DetectionSetup MainWindow::TakeSearchSetup(std::int32_t rate)
{
    record_.ImpactVolume = RoundToInt16(ParseLeadingNumber(VolumeBox(false)));
    record_.MuzzleVolume = RoundToInt16(ParseLeadingNumber(VolumeBox(true)));
    return {rate, WindowFor(SampleTimeMsFor(rate)), record_.MuzzleVolume, record_.ImpactVolume, learnt_};
}

TriggerWindow MainWindow::WindowFor(double sampleTimeMs)
{
    return CalcTriggerWindow(record_.distance, record_.VelocityMin, record_.VelocityMax, sampleTimeMs);
}

void MainWindow::SetMainEnabled(bool enabled)
{
    if (!enabled) scope_.Stop();
    setEnabled(enabled);
}

void MainWindow::AnalysisClosed(bool unload)
{
    cmdAnalyze.setText("&Analyze >>");
    setEnabled(true);
    fields_.ClearFreezeMarks();
    tmrRemoveTrigLines_Timer();
    if (unload) {
        // Closed with its close box: loaded afresh next time, once nothing
        // of it is running any more.
        QTimer::singleShot(0, this, [this] { UnloadAnalysis(); });
    }
}

void MainWindow::UnloadAnalysis()
{
    if (!analysis_ || analysis_->isVisible()) return;
    if (analysis_->Playing()) {
        QTimer::singleShot(50, this, [this] { UnloadAnalysis(); });
        return;
    }
    analysis_.reset();
}

void MainWindow::ReturnFromCalibration()
{
    setEnabled(true);
    show();
    activateWindow();
    setFocus();
    if (AnalysisVisible()) {
        // The calibration shot opened the analysis window: it stays in
        // front and keeps the main window disabled while it is active.
        analysis_->raise();
        analysis_->activateWindow();
        analysis_->Form_Activate();
    }
}

void MainWindow::lblCredit_Click(int index)
{
    if (index == 0) {
        ShowAbout();
    } else {
        OpenReadme();
    }
}

void MainWindow::ShowAbout()
{
    AboutFacts facts;
    facts.settingsFile = services_.settingsPath;
    facts.shotDataFile = ShotDataPath(record_.datafilename, DataFolder());
    facts.waveformFolder = DataFolder();
    facts.libraryFile = library_.Path();
    services_.dialogs.Information("About Quorvel", AboutText(facts));
}

void MainWindow::OpenReadme()
{
    const std::string& readme = services_.readmePath;
    if (readme.empty() || !QFileInfo::exists(QString::fromStdString(readme))) {
        services_.dialogs.Critical("Error", "The README that comes with Quorvel was not found beside the program.");
        return;
    }
    if (!services_.shell.OpenUrl(QUrl::fromLocalFile(QString::fromStdString(readme)).toString().toStdString())) {
        services_.dialogs.Critical("Error", "The desktop found no program to open the README with (xdg-open, from the "
                                            "package xdg-utils, does that). It is the file " + readme + ".");
    }
}

}  // namespace quorvel
