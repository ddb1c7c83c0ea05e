// The main window's other windows: results, analysis and calibration. Each
// is made when first needed and afresh after its close box; this part
// answers what they ask of the main window (AnalysisHost, CalibrationHost)
// and passes on what the shot route tells the results window.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QPushButton>

#include "AnalysisWindow.h"
#include "CalibrationWindow.h"
#include "RecordingController.h"
#include "ResultsWindow.h"
#include "ScopePanel.h"
#include "SettingsFields.h"
#include "SettingsModel.h"
#include "ShotRouter.h"

namespace quorvel {

// What the hosted windows reach: the main window itself and its parts.
struct HostedBy {
    QWidget& main;
    QPushButton& analyzeButton;  // cmdAnalyze, whose caption says where the analysis window is
    SettingsModel& settings;
    SettingsFields& fields;
    ScopePanel& scope;
    RecordingController& recording;
    ShotRouter& router;
    Clock& clock;
    Dialogs& dialogs;
    FileDialogs& fileDialogs;
    SoundOutput& output;
    std::string dataFolder;
    std::function<void()> yield;
};

class WindowHosts final : public QObject, private AnalysisHost, private CalibrationHost, public RouteListener {
    Q_OBJECT
public:
    WindowHosts(HostedBy parts, QObject* parent);
    ~WindowHosts() override;

    // The results window, made on first use and after it was closed.
    ResultsWindow& Results();
    bool ResultsOpen() const { return results_ != nullptr; }
    AnalysisWindow& Analysis();
    bool AnalysisVisible() const { return analysis_ && analysis_->isVisible(); }
    CalibrationWindow& Calibration();

    // The ring's sound in the analysis window, under the caption the
    // freezing shot chose ("Analyze" when none did).
    void OpenFrozen();
    void SetFreezeCaption(std::string caption) { freezeCaption_ = std::move(caption); }
    // cmdAnalyze with the analysis window up: put away, the main window back.
    void PutAnalysisAway();
    // cmdTestShot: the calibration window, unless its countdown runs.
    void ShowCalibration();
    // A field was left: the analysis window's lines and zoom follow.
    void FieldLeft(const FieldLeave& after);
    // What the shot route did, passed to the results window (made when first needed).
    void Routing() override { Results(); }
    void Routed(const MeasuredShot& shot, bool counted) override { Results().Routed(shot, counted); }
    void Noticed(const std::string& text) override { Results().Noticed(text); }
    void StringBegun() override { Results().StringBegun(); }

signals:
    void resultsMade(ResultsWindow* results);
    // The analysis window closed: the trigger lines and marks go.
    void analysisClosed();
    void measureFileWanted(QWidget* over);

private:
    void OpenAnalysisOnRecording(const std::string& caption);
    void UnloadAnalysis();
    void SetMainEnabled(bool enabled) override;
    void AnalysisClosed(bool unload) override;
    void MeasureRecordingFile() override { emit measureFileWanted(analysis_.get()); }
    bool Ending() const override { return parts_.recording.Ending(); }
    void DoStart() override { parts_.recording.Start(); }
    void DoStop() override { parts_.recording.Stop(); }
    void AnalyseRecording() override;
    void ReturnFromCalibration() override;

    HostedBy parts_;
    std::string freezeCaption_ = "Analyze";
    std::unique_ptr<ResultsWindow> results_;
    std::unique_ptr<AnalysisWindow> analysis_;
    std::unique_ptr<CalibrationWindow> calibration_;
};

}  // namespace quorvel
