// frmShooting: the results a shooter reads from the firing point, in large
// print: the last muzzle velocity, its energy and the string average, with
// the shot number, difference, minimum, maximum, spread, standard deviation
// and total energy around them, and the history chart along the bottom.
// Everything is laid out again from the window's height on every resize.
// The shot route owns the shot string; this window shows it and hears from
// the route what happened to it.
#pragma once

#include <array>

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "Dialogs.h"
#include "FileDialogs.h"
#include "HistoryChart.h"
#include "Settings.h"
#include "ShotRouter.h"
#include "ShotString.h"

namespace quorvel {

class ResultsWindow final : public QWidget, public RouteListener {
    Q_OBJECT
public:
    ResultsWindow(ShotString& string, const Settings& record, const UnitLabels& units, Dialogs& dialogs,
                  FileDialogs& fileDialogs);

    void Form_Activate();
    void Form_Resize();
    // What the route did to the string: a shot joined it (FillData), a
    // notice took the velocity's place (MisShot), a new string began.
    void Routed(const MeasuredShot& shot, bool counted) override;
    void Noticed(const std::string& text) override;
    void StringBegun() override;
    void errTimer_Timer();
    void lblVelo_Click(int index);
    void CopyString();
    void ExportCsv();
    // A flyer leaves the readouts, the chart and the exports (and comes back).
    void ExcludeLastShot();
    void IncludeExcludedShot();

    const HistoryChart& Chart() const { return picHistory; }

signals:
    void newString();  // the shot number starts again at 1
    void shotExcluded(int number, bool excluded);
    void detailsWanted();  // "String details…"
    void libraryWanted();  // "Library…"
    void closed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildReadouts(const QFont& readoutFont);
    void BuildChart(const QFont& readoutFont);
    void Form_Load();
    void LayOut(int count);
    void ShowReadouts();
    void DrawArray();
    void Redraw();

    ShotString& string_;
    const Settings& record_;
    const UnitLabels& units_;
    Dialogs& dialogs_;
    FileDialogs& fileDialogs_;

    QTimer errTimer;
    std::array<QLabel, 10> lblVelo;
    std::array<QLabel, 10> lblLabel;
    QLabel chartTitle_;  // lblLabel(15)
    HistoryChart picHistory;
    std::array<QLabel, 2> lblScale;
    QLabel lblMistage;
};

}  // namespace quorvel
